#include "pchost/toolkit/widgethost.h"

#include <algorithm>

#include "host/elabel.h"
#include "host/emessagebox.h"

namespace {

pchost::KeySource* keys = nullptr;
pchost::ScreenListener* listener = nullptr;

std::vector<eWidget*>& stack()
{
    static std::vector<eWidget*> widgets;
    return widgets;
}

// The widgets of WIDGET's subtree that PICK takes, in creation order
// (pre-order), WIDGET itself excluded, leaving out hidden widgets and
// everything below them.
template <class Pick>
std::vector<eWidget*> shownWhere(eWidget* widget, Pick pick)
{
    std::vector<eWidget*> found;
    for (eWidget* child : widget->getChildren()) {
        if (!child->isVisible())
            continue;
        if (pick(child))
            found.push_back(child);
        std::vector<eWidget*> below = shownWhere(child, pick);
        found.insert(found.end(), below.begin(), below.end());
    }
    return found;
}

std::vector<eWidget*> focusable(eWidget* window)
{
    return shownWhere(window, [](eWidget* widget) { return widget->takesFocus(); });
}

// A shown widget of WINDOW whose shortcut is the name of KEY.
eWidget* shortcutFor(eWidget* window, pchost::Key key)
{
    const std::string name = pchost::keyName(key);
    std::vector<eWidget*> found = shownWhere(window,
        [&](eWidget* widget) { return !name.empty() && widget->getShortcut() == name; });
    return found.empty() ? nullptr : found.front();
}

void typeInto(eWidget* focus, const std::string& text)
{
    auto* field = dynamic_cast<eTextInputField*>(focus);
    if (field && field->isEditing())
        field->typeText(text);
}

} // namespace

const std::vector<eWidget*>& eWidgetHost::topLevels()
{
    return stack();
}

void eWidgetHost::created(eWidget* widget)
{
    stack().insert(stack().begin(), widget);  // hidden until shown, then raised
}

void eWidgetHost::destroyed(eWidget* widget)
{
    auto& widgets = stack();
    widgets.erase(std::remove(widgets.begin(), widgets.end(), widget), widgets.end());
}

void eWidgetHost::shown(eWidget* widget, bool wasVisible)
{
    destroyed(widget);
    stack().push_back(widget);
    auto* box = dynamic_cast<eMessageBox*>(widget);
    if (box && !wasVisible && listener)
        listener->messageShown(box->getText(), box->message, {box->flags, box->defaultButton, box->timeout});
}

void eWidgetHost::helpTextChanged(eWidget* widget)
{
    eWidget* window = windowOf(widget);
    auto top = std::find_if(stack().rbegin(), stack().rend(), [](eWidget* w) { return w->visible; });
    if (!listener || top == stack().rend() || *top != window || focused(window) != widget)
        return;
    auto showsIt = [widget](eWidget* bar) {
        auto* status = dynamic_cast<eStatusBar*>(bar);
        return status && status->getShownText() == widget->helpText;
    };
    if (!shownWhere(window, showsIt).empty())
        listener->statusChanged(widget->helpText);
}

eWidget* eWidgetHost::windowOf(const eWidget* widget)
{
    while (widget->parent)
        widget = widget->parent;
    return const_cast<eWidget*>(widget);
}

ePoint eWidgetHost::screenPosition(const eWidget* widget)
{
    if (!widget->parent)
        return widget->position;
    ePoint origin = screenClientPosition(widget->parent);
    return ePoint(origin.x + widget->position.x, origin.y + widget->position.y);
}

ePoint eWidgetHost::screenClientPosition(const eWidget* widget)
{
    ePoint whole = screenPosition(widget);
    return ePoint(whole.x + widget->frameTopLeft.x, whole.y + widget->frameTopLeft.y);
}

eWidget* eWidgetHost::focused(eWidget* window)
{
    std::vector<eWidget*> candidates = focusable(window);
    if (candidates.empty())
        return nullptr;
    if (std::find(candidates.begin(), candidates.end(), window->focus) == candidates.end())
        window->focus = candidates.front();
    return window->focus;
}

bool eWidgetHost::moveFocus(eWidget* window, int step)
{
    std::vector<eWidget*> candidates = focusable(window);
    auto at = std::find(candidates.begin(), candidates.end(), focused(window));
    if (at == candidates.end())
        return false;
    long index = (at - candidates.begin()) + step;
    if (index < 0 || index >= static_cast<long>(candidates.size()))
        return false;
    window->focus = candidates[index];
    return true;
}

void eWidgetHost::dispatch(eWidget* window, const pchost::KeyPress& press)
{
    using pchost::Key;
    eWidget* focus = focused(window);
    if (press.key == Key::Text) {
        typeInto(focus, press.text);
        return;
    }
    const int code = pchost::keyCode(press.key);
    if (eWidget* target = shortcutFor(window, press.key)) {
        // Focus first, so that the status bar shows the help text of the
        // button at work ("please wait !!!") while its handler runs.
        if (target->takesFocus())
            window->focus = target;
        target->keyPressed(pchost::keyCode(Key::Ok));
        return;
    }
    if (focus && focus->keyPressed(code))
        return;
    if (press.key == Key::Up || press.key == Key::Down)
        moveFocus(window, press.key == Key::Down ? 1 : -1);
    else if (press.key == Key::Exit)
        window->close(-1);  // the host's own window handling
}

int eWidgetHost::run(eWidget* window)
{
    window->running = true;
    while (window->running)
        dispatch(window, keys->nextKey());
    return window->result;
}

void eWidgetHost::connect(pchost::KeySource* source, pchost::ScreenListener* screen)
{
    keys = source;
    listener = screen;
}
