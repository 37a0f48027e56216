#include "commands/commands.h"

#include <climits>
#include <cstdlib>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "commands/interrupt.h"
#include "commands/jsonname.h"
#include "commands/refusal.h"
#include "commands/report.h"
#include "commands/slotname.h"
#include "install/adapt.h"
#include "install/checksumfile.h"
#include "install/imagecheck.h"
#include "install/imagedigest.h"
#include "install/imagefiles.h"
#include "install/procedure.h"
#include "install/space.h"
#include "install/stillthere.h"
#include "manage/colorchoice.h"
#include "manage/overview.h"
#include "manage/slotactions.h"
#include "store/context.h"
#include "store/controls.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/shell.h"

namespace {

// FILE as the name of an image file the install dialog would list: image
// files lie in the store, so a path must lead there.
std::optional<eString> imageOfStore(const std::string& file)
{
    eString name = file;
    size_t slash = file.rfind('/');
    if (slash != std::string::npos) {
        std::string dir = slash == 0 ? "/" : file.substr(0, slash);
        std::string store = realPathOf(mpoint);
        if (store.empty() || realPathOf(dir) != store)
            return std::nullopt;
        name = file.substr(slash + 1);
    }
    // A name as JSON gave it, of bytes that are no UTF-8 (commands/jsonname.h).
    std::optional<std::string> bytes = namedBytes(name);
    for (const eString& listed : listImageFiles()) {
        if (listed == name || (bytes && listed == *bytes))
            return listed;
    }
    return std::nullopt;
}

// The refusal of FILE; one that lies elsewhere says how it gets in: a copy
// by the user, who keeps the original and sees the copy's progress.
Outcome notAnImageOfStore(const std::string& file)
{
    Outcome refusal = Outcome::refused("no image file of the store: " + file);
    struct stat st;
    size_t slash = file.rfind('/');
    std::string dir = slash == 0 ? "/" : file.substr(0, slash);
    if (slash != std::string::npos && realPathOf(dir) != realPathOf(mpoint) && stat(file.c_str(), &st) == 0 &&
        S_ISREG(st.st_mode))
        refusal.detail = "it lies outside the store " + mpoint + "; copy it in first (" +
            formatLine("cp %s %s/", file, mpoint) + "), then install " + file.substr(slash + 1);
    return refusal;
}

std::optional<int> firstFreeSlot()
{
    for (int slot = 0; slot < slotCount; ++slot) {
        if (!refuseSlotTaken(slotText(slot)))
            return slot;
    }
    return std::nullopt;
}

Outcome runInstallation(InstallRequest request, const ProgressShown& shown)
{
    InterruptWatch watch;
    request.progress = shown;
    request.cancelled = InterruptWatch::interrupted;
    return installImage(request);
}

// The success of REQUEST, a line for each of what changed; SUMS lay beside
// the image file before.
eString installedLines(const InstallRequest& request, const std::vector<eString>& sums, bool backup)
{
    eString lines = "installed " + imageName(request.slot, request.name) + " into slot " + request.slot + "\n";
    struct stat st;
    bool kept = lstat((mpoint + "/" + request.file).c_str(), &st) == 0;
    lines += "image file " + request.file + (kept ? " kept" : " removed");
    if (kept && backup)
        lines += " (a backup: nimbrel remove deletes it)";
    for (size_t i = 0; !kept && i < sums.size(); ++i)
        lines += (i ? ", " : " with ") + sums[i];
    if (request.copySettings)
        lines += haveSettings() ? "\nsettings copied" : "\nno settings to copy";
    return lines;
}

} // namespace

// The request an installation of ARGUMENTS makes, or its refusal.
std::optional<Outcome> prepare(const InstallArguments& arguments, InstallRequest& request)
{
    std::optional<eString> file = imageOfStore(arguments.file);
    if (!file)
        return notAnImageOfStore(arguments.file);
    std::optional<int> slot = arguments.slot ? arguments.slot : firstFreeSlot();
    if (arguments.slot) {
        if (std::optional<Outcome> taken = refuseSlotTaken(slotText(*slot)))
            return taken;
    }
    request.noliste = 0;
    request.noiort = slot ? 0 : 1;
    request.freemem = freeKilobytes(mpoint);
    request.file = *file;
    request.slot = slot ? slotText(*slot) : eString();
    request.name = arguments.name;
    request.copySettings = arguments.settings;
    request.fileAfter = arguments.removeFile ? ImageFileAfter::Goes : ImageFileAfter::Kept;
    return refusal(request);
}

Outcome installCommand(const InstallArguments& arguments)
{
    if (isFetchUrl(arguments.file))
        return fetchAndInstall(arguments);
    InstallRequest request;
    if (std::optional<Outcome> refused = prepare(arguments, request))
        return *refused;
    std::vector<eString> sums = checksumFilesBeside(request.file);
    bool backup = false;
    request.backupKept = [&backup] { backup = true; };
    Outcome outcome = runInstallation(request, arguments.progress);
    if (outcome.kind != Outcome::Done)
        return outcome;
    return Outcome::done(installedLines(request, sums, backup));
}

// As installCommand up to the last check, with the same functions.
Outcome verifyCommand(const InstallArguments& arguments)
{
    InstallRequest request;
    request.checkOnly = true;
    if (std::optional<Outcome> refused = prepare(arguments, request))
        return *refused;
    Outcome outcome = runInstallation(request, arguments.progress);
    if (outcome.kind != Outcome::Done)
        return outcome;
    std::optional<std::vector<ExpectedDigest>> digests = expectedDigests(mpoint, request.file);
    bool checked = digests && !digests->empty();
    return Outcome::done(request.file + " passes the checks" +
        (checked ? ", its checksum files too" : ", no checksum file"));
}

Outcome renameCommand(int slot, const std::string& name)
{
    if (probeSlot(slot) != SlotState::Installed)
        return Outcome::refused("no Image in slot " + slotText(slot));
    eString old = slotName(slot);
    Outcome outcome = renameSlot(slotText(slot), name);
    if (outcome.kind != Outcome::Done)
        return outcome;
    return Outcome::done("renamed slot " + slotText(slot) + " from " + old + " to " + slotName(slot));
}

Outcome eraseCommand(int slot, const Confirm& confirm)
{
    std::optional<SlotIdentity> asked = identifySlot(slot);
    SlotReport report = reportSlot(slot, bool(confirm));
    if (!asked)
        return Outcome::refused("no Image in slot " + slotText(slot));
    eString what = report.name ? eString(*report.name) : eString("corrupted");
    if (confirm) {
        eString size = report.kilobytes ? eString().sprintf("%lld kB", *report.kilobytes) : eString(sizeUnknown);
        eString when = report.installed ? "installed " + *report.installed : "install time unknown";
        std::optional<bool> yes = confirm(printable("erase slot " + slotText(slot) + " (" + what + ", " + when + ", " + size + ")?"));
        if (!yes)
            return Outcome::refused("erase asks first: give --yes to erase without a terminal");
        if (!*yes)
            return Outcome::refused("slot " + slotText(slot) + " not erased");
    }
    Outcome outcome = eraseSlot(slotText(slot), asked);
    if (outcome.kind != Outcome::Done)
        return outcome;
    return Outcome::done("erased slot " + slotText(slot) + " (" + what + ")");
}

std::optional<int> colorKey(const std::string& colour)
{
    for (int key = firstColorKey; key <= lastColorKey; ++key) {
        if (strcasecmp(colour.c_str(), colorText(key) + 1) == 0 || colour == std::to_string(key))
            return key;
    }
    return std::nullopt;
}

std::string unknownColor(const std::string& colour)
{
    std::string names;
    for (int key = firstColorKey; key <= lastColorKey; ++key)
        names += colorText(key);
    return "unknown color: " + colour + " (one of" + names + ", or " + std::to_string(firstColorKey) + ".." +
        std::to_string(lastColorKey) + ")";
}

Outcome colorCommand(const std::string& colour)
{
    std::optional<int> key = colorKey(colour);
    if (!key)
        throw Refusal(unknownColor(colour));
    if (std::optional<Outcome> outcome = applyColor(*key))
        return *outcome;
    return Outcome::done(eString("menu color set to ") + (colorText(*key) + 1) + " (" + std::to_string(*key) + ")");
}

Outcome menuCommand()
{
    return rewriteBootMenu();
}

Outcome defaultCommand(const std::string& target)
{
    return chooseDefault(target == "flash" ? std::nullopt : std::optional<int>(namedSlot(target)));
}
