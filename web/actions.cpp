#include "web/actions.h"

#include "commands/commands.h"
#include "commands/report.h"
#include "manage/backup.h"
#include "store/controls.h"
#include "store/imagename.h"
#include "web/jobs.h"

namespace {

using nlohmann::json;

std::string text(const json& body, const char* key, bool required = true)
{
    if (!body.is_object() || !body.contains(key)) {
        if (required)
            throw BadRequest(std::string("missing ") + key);
        return "";
    }
    if (!body[key].is_string())
        throw BadRequest(std::string(key) + " must be a text");
    return body[key].get<std::string>();
}

std::optional<int> slotOf(const json& body, bool required = true)
{
    if (!body.is_object() || !body.contains("slot") || body["slot"].is_null()) {
        if (required)
            throw BadRequest("missing slot");
        return std::nullopt;
    }
    if (!body["slot"].is_number_integer() || body["slot"].get<int>() < 0 || body["slot"].get<int>() > 9)
        throw BadRequest("slot must be 0..9");
    return body["slot"].get<int>();
}

// The name rule of the dialog's input and of nimbrel's --name.
std::string imageName(const json& body)
{
    std::string name = text(body, "name", false);
    if (name.size() > static_cast<size_t>(nameLength))
        throw BadRequest("name longer than " + std::to_string(nameLength) + " characters: " + printable(name));
    if (name.find_first_not_of(nameChars) != std::string::npos)
        throw BadRequest("name with a character other than letters, digits, blank and -+:.: " + printable(name));
    return name;
}

Outcome started(const std::string& what, Jobs& jobs, Jobs::Work work)
{
    std::optional<Outcome> busy = jobs.start(what, std::move(work));
    return busy ? *busy : Outcome::done(what + " started");
}

} // namespace

Outcome startInstall(const json& body, Jobs& jobs)
{
    InstallArguments arguments{text(body, "file"), slotOf(body, false), imageName(body),
        body.value("settings", false) == true, body.value("remove_file", false) == true, nullptr};
    return started("install", jobs, [arguments](const ProgressShown& shown) mutable {
        arguments.progress = shown;
        return installCommand(arguments);
    });
}

Outcome startVerify(const json& body, Jobs& jobs)
{
    InstallArguments arguments{text(body, "file"), slotOf(body, false), "", false, false, nullptr};
    return started("verify", jobs, [arguments](const ProgressShown& shown) mutable {
        arguments.progress = shown;
        return verifyCommand(arguments);
    });
}

Outcome startFetch(const json& body, Jobs& jobs)
{
    FetchArguments arguments{text(body, "url"), text(body, "name", false), nullptr};
    return started("fetch", jobs, [arguments](const ProgressShown& shown) mutable {
        arguments.progress = shown;
        return fetchCommand(arguments);
    });
}

Outcome startBackup(const json& body, Jobs& jobs)
{
    BackupRequest request;
    request.slot = *slotOf(body);
    return started("backup", jobs, [request](const ProgressShown& shown) mutable {
        request.progress = shown;
        return backupSlot(request).outcome;
    });
}

Outcome renameAction(const json& body)
{
    return renameCommand(*slotOf(body), imageName(body));
}

Outcome eraseAction(const json& body)
{
    int slot = *slotOf(body);
    SlotReport report = reportSlot(slot, false);
    std::string name = report.name ? *report.name : "corrupted";
    if (report.state != SlotState::Free && text(body, "confirm") != name)
        return Outcome::refused("slot " + std::to_string(slot) + " is " + name + " now, not erased");
    return eraseCommand(slot, nullptr);
}

Outcome defaultAction(const json& body)
{
    std::optional<int> slot = slotOf(body, false);
    return defaultCommand(slot ? std::to_string(*slot) : "flash");
}

Outcome colourAction(const json& body)
{
    std::string colour = text(body, "colour");
    if (!colorKey(colour))
        return Outcome::refused(unknownColor(colour));
    return colorCommand(colour);
}

Outcome removeAction(const json& body)
{
    return removeCommand(text(body, "file"), nullptr);
}
