#include "host/ewidget.h"

#include <algorithm>

#include "pchost/toolkit/widgethost.h"

eWidget::eWidget(eWidget* parent, int takeFocus)
    : parent(parent)
    , focusable(takeFocus)
    , visible(parent != nullptr)
{
    if (parent)
        parent->children.push_back(this);
    else
        eWidgetHost::created(this);
}

// True when WIDGET is ANCESTOR or lies below it.
static bool within(const eWidget* widget, const eWidget* ancestor)
{
    for (; widget; widget = widget->getParent()) {
        if (widget == ancestor)
            return true;
    }
    return false;
}

eWidget::~eWidget()
{
    if (parent) {
        eWidget* window = eWidgetHost::windowOf(this);
        if (within(window->focus, this))
            window->focus = nullptr;
    }
    std::vector<eWidget*> doomed;
    doomed.swap(children);
    for (eWidget* child : doomed) {
        child->parent = nullptr;  // the whole subtree goes; nothing to unlink
        delete child;
    }
    if (!parent) {
        eWidgetHost::destroyed(this);
        return;
    }
    auto& siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
}

void eWidget::move(const ePoint& newPosition)
{
    position = newPosition;
}

void eWidget::resize(const eSize& newSize)
{
    size = newSize;
}

void eWidget::cmove(const ePoint& clientPosition)
{
    position = ePoint(clientPosition.x - frameTopLeft.x, clientPosition.y - frameTopLeft.y);
}

void eWidget::cresize(const eSize& clientSize)
{
    size = eSize(clientSize.w + frameExtra.w, clientSize.h + frameExtra.h);
}

void eWidget::setText(const eString& newText)
{
    text = newText;
}

const eString& eWidget::getText() const
{
    return text;
}

void eWidget::setHelpText(const eString& newText)
{
    if (newText == helpText)
        return;
    helpText = newText;
    eWidgetHost::helpTextChanged(this);
}

void eWidget::setShortcut(const eString& keyName)
{
    shortcut = keyName;
}

void eWidget::show()
{
    bool wasVisible = visible;
    visible = true;
    if (!parent)
        eWidgetHost::shown(this, wasVisible);
}

void eWidget::hide()
{
    visible = false;
}

int eWidget::exec()
{
    return eWidgetHost::run(this);
}

void eWidget::close(int closeResult)
{
    result = closeResult;
    running = false;
}

void eWidget::accept()
{
    close(0);
}

eWidget* eWidget::getParent() const
{
    return parent;
}

const std::vector<eWidget*>& eWidget::getChildren() const
{
    return children;
}

ePoint eWidget::getPosition() const
{
    return position;
}

eSize eWidget::getSize() const
{
    return size;
}

eSize eWidget::getClientSize() const
{
    return eSize(std::max(0, size.w - frameExtra.w), std::max(0, size.h - frameExtra.h));
}

const eString& eWidget::getHelpText() const
{
    return helpText;
}

const eString& eWidget::getShortcut() const
{
    return shortcut;
}

bool eWidget::isVisible() const
{
    return visible;
}

bool eWidget::takesFocus() const
{
    return focusable != 0;
}

bool eWidget::keyPressed(int)
{
    return false;
}

void eWidget::setFrame(const ePoint& topLeft, const eSize& extra)
{
    frameTopLeft = topLeft;
    frameExtra = extra;
}

// The stand-in draws every widget its own way, with no decorations.
eDecoWidget::eDecoWidget(eWidget* parent, int takeFocus, const char*)
    : eWidget(parent, takeFocus)
{
}

void eDecoWidget::loadDeco()
{
}

// A title bar above the client area and a thin border around it; on the
// text screen that is one cell on each side and two rows above.
eWindow::eWindow(int takeFocus)
    : eWidget(nullptr, takeFocus)
{
    setFrame(ePoint(8, 32), eSize(16, 40));
}

eWindow::~eWindow() = default;
