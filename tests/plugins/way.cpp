// A plug-in that shows a window and runs a shell command without ever
// waiting for a key, then throws (WAY 1) or calls exit (WAY 2).
#include <cstdlib>
#include <stdexcept>

#include "host/ewidget.h"

extern "C" int plugin_exec(void*)
{
    eWindow window;
    window.resize(eSize(400, 200));
    window.show();
    std::system("sleep 0.5");
    if (WAY == 1)
        throw std::runtime_error("the plug-in gave up");
    std::exit(4);
}
