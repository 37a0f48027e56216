#pragma once
#include "host/ewidget.h"

// A modal box with a message and an OK button that closes it.
class eMessageBox : public eWindow {
public:
    eMessageBox(eString message, eString caption, int flags = 1, int defaultButton = 1,
        int timeout = 0);
    ~eMessageBox() override;

private:
    friend class eWidgetHost;

    eString message;
    int flags;
    int defaultButton;
    int timeout;
};
