// Shows a window and runs a shell command without waiting for a key, then
// throws (built as throw.so) or calls exit (exit.so).
#include <cstdlib>
#include <stdexcept>

#include "host/ewidget.h"

extern "C" int plugin_exec(void*)
{
    eWindow window;
    window.resize(eSize(400, 200));
    window.show();
    std::system("sleep 0.5");
#ifdef WAY_throw
    throw std::runtime_error("the plug-in gave up");
#endif
    std::exit(4);
}
