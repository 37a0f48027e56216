// A plug-in that shows a window and runs a shell command without ever
// waiting for a key, so only the redraw before the command shows the window;
// then it returns (WAY 0), throws (1) or calls exit (2).
#include <cstdlib>
#include <stdexcept>

#include "host/elabel.h"

extern "C" int plugin_exec(void*)
{
    eWindow window;
    window.setText("Busy");
    window.move(ePoint(100, 100));
    window.resize(eSize(400, 200));
    eLabel* label = new eLabel(&window);
    label->resize(eSize(350, 30));
    label->setText("busy with a shell command");
    window.show();
    std::system("touch /tmp/tmux-test/busy; sleep " SLEEP);
    if (WAY == 1)
        throw std::runtime_error("the plug-in gave up");
    if (WAY == 2)
        std::exit(4);
    return 0;
}
