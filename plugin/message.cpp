#include "plugin/message.h"

#include "host/emessagebox.h"

void showMessage(const eString& text, const eString& title, int flags)
{
    eMessageBox box(text, title, flags, 1, 0);
    box.show();
    box.exec();  // a message box has only OK: its result says nothing
    box.hide();
}

void showOutcome(const Outcome& outcome)
{
    showMessage(outcome.message, outcome.title(), outcome.boxFlags());
}
