#pragma once
#include <vector>

#include "host/elabel.h"

class eListBoxBase;
template <class T> class eListBox;

// One row of a list box; it appends itself to its list, which owns it.
class eListBoxEntry {
public:
    explicit eListBoxEntry(eListBoxBase* list);
    virtual ~eListBoxEntry();
    eListBoxEntry(const eListBoxEntry&) = delete;
    eListBoxEntry& operator=(const eListBoxEntry&) = delete;

    virtual const eString& getText() const = 0;

private:
    friend class eListBoxBase;

    eListBoxBase* list;
};

// A row with a text and a key that the list's owner reads back. The key
// is not owned by the entry.
class eListBoxEntryText : public eListBoxEntry {
public:
    eListBoxEntryText(eListBox<eListBoxEntryText>* list, const char* text = nullptr,
        void* key = nullptr, int align = 0, const eString& helpText = "", int keyType = 0);

    const eString& getText() const override;
    void* getKey() const;
    // An empty help text reads as " ".
    const eString& getHelpText() const;
    // 0 puts the text at the row's left, anything else centres it.
    int getAlign() const;

    static int getEntryHeight();

private:
    eString text;
    void* key;
    int align;
    eString helpText;
};

// A list of entries with one current entry; OK selects it, exit selects null.
class eListBoxBase : public eDecoWidget {
public:
    eListBoxBase(eWidget* parent, const eWidget* description = nullptr, int takeFocus = 1,
        int itemHeight = 0, const char* deco = "eListBox");
    ~eListBoxBase() override;

    void setFlags(int flags);
    // Pixel height of one entry row.
    int getItemHeight() const;
    const std::vector<eListBoxEntry*>& getEntries() const;
    eListBoxEntry* getCurrentEntry() const;
    int getCurrentIndex() const;
    // Makes entry INDEX current; false when there is no such entry.
    bool setCurrentIndex(int index);
    bool keyPressed(int key) override;

protected:
    virtual void SendSelected(eListBoxEntry* entry) = 0;
    virtual void SendSelChanged(eListBoxEntry* entry) = 0;

private:
    friend class eListBoxEntry;

    std::vector<eListBoxEntry*> entries;
    int current = 0;
    int itemHeight;
};

template <class T>
class eListBox : public eListBoxBase {
public:
    explicit eListBox(eWidget* parent, const eWidget* description = nullptr, int takeFocus = 1,
        const char* deco = "eListBox")
        : eListBoxBase(parent, description, takeFocus, T::getEntryHeight(), deco)
    {
    }

    T* getCurrent() const { return static_cast<T*>(getCurrentEntry()); }

    // The chosen entry, or null when the list was left without a choice.
    SigC::Signal<void(T*)> selected;
    SigC::Signal<void(T*)> selchanged;

protected:
    void SendSelected(eListBoxEntry* entry) override { selected.emit(static_cast<T*>(entry)); }
    void SendSelChanged(eListBoxEntry* entry) override { selchanged.emit(static_cast<T*>(entry)); }
};

// A button showing its current entry; OK opens its list to choose another.
class eComboBox : public eButton {
public:
    explicit eComboBox(eWidget* parent, int openEntries = 5, eLabel* label = nullptr,
        int takeFocus = 1, const char* deco = "eComboBox");
    ~eComboBox() override;

    // Entries are created in this list.
    eListBox<eListBoxEntryText>* getListBox() const;
    // Null only when the list is empty.
    eListBoxEntryText* getCurrent() const;
    // Makes entry INDEX current; returns 0, or -1 when there is no such entry.
    int setCurrent(int index, bool sendSelected = false);

    SigC::Signal<void(eListBoxEntryText*)> selchanged;

    int getOpenEntries() const;
    bool isOpen() const;
    bool keyPressed(int key) override;

private:
    eListBox<eListBoxEntryText>* list;
    int openEntries;
    bool open = false;
    int currentBeforeOpen = 0;  // restored when the list is left with exit
};
