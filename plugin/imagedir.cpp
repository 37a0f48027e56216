#include "plugin/imagedir.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <libintl.h>

#include "install/imagefiles.h"
#include "install/space.h"
#include "plugin/globals.h"
#include "plugin/message.h"
#include "store/controls.h"
#include "store/handles.h"
#include "store/imagename.h"
#include "store/slots.h"

namespace {

// The trace line that marks a start: the file's name, its control
// characters as '?' (the log may be a terminal). An errno left by an
// earlier call would read as a fault of this file.
void traceStart(const eString& file)
{
    std::string shown = printable(file);
    errno = 0;
    std::perror(shown.c_str());
}

eString translated(const char* text)
{
    return dcgettext(nullptr, text, LC_MESSAGES);
}

template <class Widget>
Widget* placed(Widget* widget, const ePoint& position, const eSize& size)
{
    widget->move(position);
    widget->resize(size);
    return widget;
}

void addLabel(eWidget* parent, const eString& text, const ePoint& position, const eSize& size)
{
    placed(new eLabel(parent, 0, 0, "eLabel"), position, size)->setText(text);
}

eComboBox* addComboBox(eWidget* parent, const ePoint& position, int width, const char* help)
{
    eComboBox* box = placed(new eComboBox(parent, 4, nullptr, 1, "eComboBox"), position,
        eSize(width, fd + 15));
    box->setHelpText(help);
    box->loadDeco();
    return box;
}

eTextInputField* addNameField(eWidget* parent)
{
    eTextInputField* field = placed(new eTextInputField(parent, nullptr, nullptr, "eNumber"),
        ePoint(160, 120), eSize(170, fd + 15));
    field->setHelpText("Press OK to edit Name");
    field->setMaxChars(nameLength);
    field->setUseableChars(nameChars);
    field->setEditHelpText("Entering Name (Yellow a>A)");
    field->loadDeco();
    return field;
}

eCheckbox* addSettingsBox(eWidget* parent)
{
    eCheckbox* box = placed(new eCheckbox(parent, 0, 1, false, "eCheckBox"), ePoint(10, 190),
        eSize(350, fd + 10));
    box->setText("Settings copy from Flash-Image");
    box->setHelpText(translated("copy from /var/tuxbox/config/enigma"));
    return box;
}

eButton* addInstallButton(eWidget* parent)
{
    eButton* button = placed(new eButton(parent, nullptr, 1, "eButton"), ePoint(10, 280),
        eSize(150, fd + 10));
    button->setText("Install");
    button->setShortcut("green");
    button->setShortcutPixmap("green");
    button->loadDeco();
    return button;
}

eStatusBar* addStatusBar(eWidget* parent)
{
    eSize client = parent->getClientSize();
    eStatusBar* bar = placed(new eStatusBar(parent, "eStatusBar"),
        ePoint(0, client.height() - 40), eSize(client.width(), 40));
    bar->loadDeco();
    return bar;
}

eString keyText(const eComboBox* box)
{
    eListBoxEntryText* entry = box->getCurrent();
    return entry ? *static_cast<const eString*>(entry->getKey()) : eString();
}

} // namespace

Imagedir::Imagedir()
    : eWindow(0)
    , minfree(20000)
    , freemem(freeKilobytes(mpoint))
{
    setText("Install Image");
    move(ePoint(180, 100));
    resize(eSize(370, 420));

    addLabel(this, translated("available Image"), ePoint(100, 10), eSize(150, fd + 4));
    liste = addComboBox(this, ePoint(10, 40), 320, "Press OK and choose a Image");
    addLabel(this, "Directory:", ePoint(10, 90), eSize(110, fd + 10));
    iort = addComboBox(this, ePoint(10, 120), 90, "Press OK and choose a Directory");
    addLabel(this, "Image - Name:", ePoint(160, 90), eSize(170, fd + 10));
    iname = addNameField(this);
    settings = addSettingsBox(this);
    eString space;
    addLabel(this, space.sprintf("%lld kB free Memory", freemem), ePoint(10, 240), eSize(350, fd + 4));
    ok = addInstallButton(this);
    status = addStatusBar(this);
    ok->selected.connect(SigC::slot(*this, &Imagedir::okpressed));

    noliste = LoadListe();
    noiort = LoadIort();
}

Imagedir::~Imagedir() = default;

int Imagedir::LoadListe()
{
    DirHandle dir = openDir(mpoint);
    if (!dir)
        return 1;
    while (const dirent* entry = readdir(dir.get())) {
        if (isImageFileName(entry->d_name))
            addEntry(liste, entry->d_name);
    }
    return liste->getCurrent() ? 0 : 1;
}

int Imagedir::LoadIort()
{
    for (int slot = 0; slot < slotCount; ++slot) {
        if (probeSlot(slot) == SlotState::Free)
            addEntry(iort, slotText(slot));
    }
    return iort->getCurrent() ? 0 : 1;
}

void Imagedir::okpressed()
{
    finish(installChosen());
}

Outcome Imagedir::installChosen()
{
    InstallRequest wanted = request();
    if (std::optional<Outcome> refused = refusal(wanted))
        return *refused;
    const eString wait = "please wait !!!";
    ok->setHelpText(wait);
    wanted.progress = [this, &wait](const eString& done) {
        ok->setHelpText(done.empty() ? wait : eString(wait + " " + done));
    };
    return installImage(wanted);
}

void Imagedir::addEntry(eComboBox* box, const eString& text)
{
    keys.push_back(text);
    new eListBoxEntryText(box->getListBox(), text.c_str(), &keys.back(), 0, "", 0);
    box->setCurrent(0, false);
}

InstallRequest Imagedir::request() const
{
    InstallRequest wanted;
    wanted.noliste = noliste;
    wanted.noiort = noiort;
    wanted.minfree = minfree;
    wanted.freemem = freemem;
    wanted.file = keyText(liste);
    wanted.slot = keyText(iort);
    wanted.name = iname->getText();
    wanted.copySettings = settings->isChecked() != 0;
    wanted.started = traceStart;
    return wanted;
}

void Imagedir::finish(const Outcome& outcome)
{
    hide();
    showOutcome(outcome);
    close(0);
}
