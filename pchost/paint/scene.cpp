#include "pchost/paint/scene.h"

#include <algorithm>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "pchost/toolkit/widgethost.h"

namespace pchost {

bool Rect::contains(int px, int py) const
{
    return px >= x && px < x + w && py >= y && py < y + h;
}

bool Rect::empty() const
{
    return w <= 0 || h <= 0;
}

Rect Rect::intersect(const Rect& other) const
{
    int left = std::max(x, other.x);
    int top = std::max(y, other.y);
    int right = std::min(x + w, other.x + other.w);
    int bottom = std::min(y + h, other.y + other.h);
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

bool Rect::operator==(const Rect& other) const
{
    return x == other.x && y == other.y && w == other.w && h == other.h;
}

namespace {

const Rect wholeScreen{0, 0, screenWidth, screenHeight};

// An unsized widget reaches to the screen's edge.
Rect rectOf(const ePoint& at, const eSize& size)
{
    return {at.x, at.y, size.w > 0 ? size.w : screenWidth - at.x,
        size.h > 0 ? size.h : screenHeight - at.y};
}

Part partOf(eWidget& widget)
{
    if (dynamic_cast<eComboBox*>(&widget))
        return Part::Combo;
    if (dynamic_cast<eTextInputField*>(&widget))
        return Part::Field;
    if (dynamic_cast<eCheckbox*>(&widget))
        return Part::Checkbox;
    if (dynamic_cast<eStatusBar*>(&widget))
        return Part::StatusBar;
    if (dynamic_cast<eButton*>(&widget))
        return Part::Button;
    if (dynamic_cast<eListBoxBase*>(&widget))
        return Part::List;
    return Part::Label;
}

class Builder {
public:
    Scene scene;

    void window(eWidget& window)
    {
        Rect whole = rectOf(window.getPosition(), window.getSize());
        Rect client = rectOf(eWidgetHost::screenClientPosition(&window), window.getClientSize());
        scene.push_back({Part::Window, whole, wholeScreen, client, window.getText()});
        focus = eWidgetHost::focused(&window);
        openCombos.clear();
        children(window, client.intersect(wholeScreen));
        for (eComboBox* combo : openCombos)
            popup(*combo);
    }

private:
    eWidget* focus = nullptr;
    std::vector<eComboBox*> openCombos;

    void children(eWidget& parent, const Rect& clip)
    {
        for (eWidget* child : parent.getChildren()) {
            if (child->isVisible())
                widget(*child, clip);
        }
    }

    void widget(eWidget& widget, const Rect& clip)
    {
        Rect rect = rectOf(eWidgetHost::screenPosition(&widget), widget.getSize());
        Item item{partOf(widget), rect, clip};
        item.focused = &widget == focus;
        if (item.part == Part::List) {
            rows(static_cast<eListBoxBase&>(widget), item, item.focused);
        } else {
            describe(widget, item);
            scene.push_back(item);
        }
        auto* combo = dynamic_cast<eComboBox*>(&widget);
        if (combo && combo->isOpen())
            openCombos.push_back(combo);
        Rect inner = rectOf(eWidgetHost::screenClientPosition(&widget), widget.getClientSize());
        children(widget, inner.intersect(clip));
    }

    // What a widget other than a list shows besides its place.
    static void describe(eWidget& widget, Item& item)
    {
        item.text = widget.getText();
        if (auto* combo = dynamic_cast<eComboBox*>(&widget))
            item.text = combo->getCurrent() ? combo->getCurrent()->getText() : eString();
        if (auto* bar = dynamic_cast<eStatusBar*>(&widget))
            item.text = bar->getShownText();
        if (auto* label = dynamic_cast<eLabel*>(&widget))
            item.key = label->getShortcutPixmap();
        if (auto* box = dynamic_cast<eCheckbox*>(&widget))
            item.checked = box->isChecked() != 0;
        if (auto* field = dynamic_cast<eTextInputField*>(&widget))
            item.editing = field->isEditing();
        if (item.part == Part::Button)
            item.align = Align::Centre;
    }

    // LIST's item, then as many rows as its height holds, scrolled so that
    // the current one shows.
    void rows(const eListBoxBase& list, Item item, bool active)
    {
        const auto& entries = list.getEntries();
        int height = list.getItemHeight();
        int count = static_cast<int>(entries.size());
        int fits = item.rect.h / height;
        int shown = std::min(count, std::max(1, fits));
        int current = list.getCurrentIndex();
        int top = std::max(0, current - shown + 1);
        Rect area = item.rect;
        if (item.part == Part::Popup)
            area = {area.x + 2, area.y + 2, area.w - 4, area.h - 4};  // inside its border
        item.index = shown;
        scene.push_back(item);
        for (int i = top; i < top + shown && i < count; ++i) {
            Item row{Part::Row, {area.x, area.y + (i - top) * height, area.w, height},
                area.intersect(item.clip)};
            row.text = entries[i]->getText();
            auto* text = dynamic_cast<const eListBoxEntryText*>(entries[i]);
            row.align = text && text->getAlign() != 0 ? Align::Centre : Align::Left;
            row.focused = active;
            row.current = i == current;
            row.index = i - top;
            scene.push_back(row);
        }
    }

    // The open list of COMBO just under it, over everything else of its window.
    void popup(eComboBox& combo)
    {
        const eListBoxBase& list = *combo.getListBox();
        int shown = std::min(static_cast<int>(list.getEntries().size()), combo.getOpenEntries());
        Rect at = rectOf(eWidgetHost::screenPosition(&combo), combo.getSize());
        Rect below{at.x, at.y + at.h, at.w, shown * list.getItemHeight() + 4};
        rows(list, {Part::Popup, below, wholeScreen}, true);
    }
};

} // namespace

Scene buildScene()
{
    Builder builder;
    for (eWidget* window : eWidgetHost::topLevels()) {
        if (window->isVisible())
            builder.window(*window);
    }
    return builder.scene;
}

} // namespace pchost
