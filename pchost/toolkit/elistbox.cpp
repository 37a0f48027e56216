#include "host/elistbox.h"

#include <algorithm>

#include "pchost/toolkit/keys.h"
#include "pchost/toolkit/metrics.h"

using pchost::Key;
using pchost::keyCode;

eListBoxEntry::eListBoxEntry(eListBoxBase* list)
    : list(list)
{
    if (list)
        list->entries.push_back(this);
}

eListBoxEntry::~eListBoxEntry()
{
    if (!list)
        return;
    auto& entries = list->entries;
    auto at = std::find(entries.begin(), entries.end(), this);
    if (at == entries.end())
        return;
    int index = static_cast<int>(at - entries.begin());
    entries.erase(at);
    if (list->current > index || list->current >= static_cast<int>(entries.size()))
        list->current = std::max(0, list->current - 1);
}

eListBoxEntryText::eListBoxEntryText(eListBox<eListBoxEntryText>* list, const char* text,
    void* key, int align, const eString& helpText, int /*keyType: one kind of key here*/)
    : eListBoxEntry(list)
    , text(text)
    , key(key)
    , align(align)
    , helpText(helpText.empty() ? eString(" ") : helpText)
{
}

const eString& eListBoxEntryText::getText() const
{
    return text;
}

void* eListBoxEntryText::getKey() const
{
    return key;
}

const eString& eListBoxEntryText::getHelpText() const
{
    return helpText;
}

int eListBoxEntryText::getAlign() const
{
    return align;
}

int eListBoxEntryText::getEntryHeight()
{
    return pchost::entryHeight();
}

eListBoxBase::eListBoxBase(eWidget* parent, const eWidget*, int takeFocus, int itemHeight,
    const char* deco)
    : eDecoWidget(parent, takeFocus, deco)
    , itemHeight(itemHeight > 0 ? itemHeight : eListBoxEntryText::getEntryHeight())
{
}

eListBoxBase::~eListBoxBase()
{
    std::vector<eListBoxEntry*> doomed;
    doomed.swap(entries);
    for (eListBoxEntry* entry : doomed) {
        entry->list = nullptr;
        delete entry;
    }
}

// This screen draws every list one way.
void eListBoxBase::setFlags(int)
{
}

int eListBoxBase::getItemHeight() const
{
    return itemHeight;
}

const std::vector<eListBoxEntry*>& eListBoxBase::getEntries() const
{
    return entries;
}

eListBoxEntry* eListBoxBase::getCurrentEntry() const
{
    return entries.empty() ? nullptr : entries[current];
}

int eListBoxBase::getCurrentIndex() const
{
    return current;
}

bool eListBoxBase::setCurrentIndex(int index)
{
    if (index < 0 || index >= static_cast<int>(entries.size()))
        return false;
    current = index;
    return true;
}

// Up and down at either end are left to the window, which moves the focus.
bool eListBoxBase::keyPressed(int key)
{
    if (key == keyCode(Key::Up) || key == keyCode(Key::Down)) {
        int step = key == keyCode(Key::Down) ? 1 : -1;
        if (!setCurrentIndex(current + step))
            return false;
        SendSelChanged(getCurrentEntry());
        return true;
    }
    if (key == keyCode(Key::Ok) || key == keyCode(Key::Exit)) {
        SendSelected(key == keyCode(Key::Ok) ? getCurrentEntry() : nullptr);
        return true;
    }
    return false;
}
