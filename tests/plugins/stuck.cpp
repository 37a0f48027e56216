// A plug-in whose window never closes: its list swallows exit.
#include "host/elistbox.h"

extern "C" int plugin_exec(void*)
{
    eWindow window;
    new eListBox<eListBoxEntryText>(&window);
    window.show();
    window.exec();
    return 0;
}
