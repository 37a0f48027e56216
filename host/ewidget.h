#pragma once
#include <vector>

#include "host/estring.h"
#include "host/sigc.h"

struct ePoint {
    ePoint() = default;
    ePoint(int x, int y) : x(x), y(y) {}
    int x = 0;
    int y = 0;
};

struct eSize {
    eSize() = default;
    eSize(int width, int height) : w(width), h(height) {}
    int width() const { return w; }
    int height() const { return h; }
    int w = 0;
    int h = 0;
};

// A widget of the screen. A widget made with a parent belongs to it and is
// deleted with it; the plug-in deletes only what it made without a parent.
class eWidget : public virtual SigC::Object {
public:
    explicit eWidget(eWidget* parent = nullptr, int takeFocus = 0);
    virtual ~eWidget();
    eWidget(const eWidget&) = delete;
    eWidget& operator=(const eWidget&) = delete;

    // Place and size of the whole widget (a window's frame included); a
    // child is placed in its parent's client area.
    void move(const ePoint& position);
    void resize(const eSize& size);
    // Place and size of the client area, the part inside a window's frame.
    void cmove(const ePoint& clientPosition);
    void cresize(const eSize& clientSize);

    void setText(const eString& text);
    const eString& getText() const;
    // Shown in the window's status bar while this widget has the focus.
    void setHelpText(const eString& text);
    // A key name ("green") that presses this button from anywhere in its window.
    void setShortcut(const eString& keyName);

    void show();
    void hide();
    // Runs a modal loop on this window until close() or accept(); returns
    // the result given to close().
    int exec();
    void close(int result);
    void accept();

    // The stand-in host draws the screen and dispatches keys through these.
    eWidget* getParent() const;
    const std::vector<eWidget*>& getChildren() const;
    ePoint getPosition() const;
    eSize getSize() const;
    eSize getClientSize() const;
    const eString& getHelpText() const;
    const eString& getShortcut() const;
    bool isVisible() const;
    bool takesFocus() const;
    // Handles KEY while this widget has the focus; false leaves it to its window.
    virtual bool keyPressed(int key);

protected:
    // Frame widths between the whole widget and its client area.
    void setFrame(const ePoint& topLeft, const eSize& extra);

private:
    friend class eWidgetHost;

    eWidget* parent;
    std::vector<eWidget*> children;
    ePoint position;
    eSize size;
    ePoint frameTopLeft;
    eSize frameExtra;
    eString text;
    eString helpText;
    eString shortcut;
    int focusable;
    bool visible = false;
    bool running = false;
    int result = 0;
    eWidget* focus = nullptr;
};

// A widget drawn with a named decoration of the skin.
class eDecoWidget : public eWidget {
public:
    eDecoWidget(eWidget* parent, int takeFocus, const char* decoName);
    void loadDeco();
};

// A top-level window with a title in its frame.
class eWindow : public eWidget {
public:
    explicit eWindow(int takeFocus = 0);
    ~eWindow() override;
};
