// nimbrel: the image store from a shell, for people at a telnet prompt and
// for scripts. Exit status 0 on success, 1 when a step failed, 2 for a
// refusal or a wrong use; results on stdout, messages on stderr.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <climits>
#include <nlohmann/json.hpp>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>

#include "cli/backupcommand.h"
#include "cli/console.h"
#include "cli/outcomeprint.h"
#include "cli/output.h"
#include "cli/ownstderr.h"
#include "cli/storechoice.h"
#include "commands/commands.h"
#include "commands/refusal.h"
#include "commands/report.h"
#include "commands/slotname.h"
#include "fetch/url.h"
#include "manage/about.h"
#include "store/actionlog.h"
#include "store/controls.h"
#include "store/imagename.h"
#include "store/lock.h"
#include "store/storecheck.h"
#include "store/streams.h"
#include "web/serve.h"

namespace {

std::string versionLine()
{
    const char* end = std::strchr(aboutText, '\n');
    return std::string(aboutText, end ? end - aboutText : std::strlen(aboutText));
}

// What the name fields accept.
const CLI::Validator imageNameRule(
    [](std::string& name) -> std::string {
        if (name.size() > static_cast<size_t>(nameLength))
            return "name longer than " + std::to_string(nameLength) + " characters: " + name;
        if (name.find_first_not_of(nameChars) != std::string::npos)
            return "name with a character other than letters, digits, blank and -+:.: " + name;
        return "";
    },
    "NAME");

const CLI::Range slotRange(0, 9);

// COMMAND (installCommand, verifyCommand, fetchCommand) with its progress
// on the terminal's line, which is cleared before the outcome is printed.
template <typename Command, typename Arguments>
Outcome withProgressLine(Command command, Arguments arguments)
{
    ProgressLine line;
    arguments.progress = line.shown();
    return command(arguments);
}

// Erase's and remove's question on the terminal; nobody to ask without one.
std::optional<bool> askOnTerminal(const std::string& question)
{
    if (!canAsk())
        return std::nullopt;
    return askYes(question);
}

const char helpFooter[] = R"(Examples:
  nimbrel --store /media/hdd status
  nimbrel install nightly.img --slot 3 --name Nightly --settings
  nimbrel fetch http://192.168.1.10/images/nightly.img
  nimbrel install http://192.168.1.10/images/nightly.img --name Nightly
  nimbrel rename Nightly Stable
  nimbrel --wait=60 erase 3 --yes --json
  nimbrel remove nightly.img --yes
  nimbrel color Cyan
  nimbrel default Stable
  nimbrel info Stable --json
  nimbrel log | tail

Exit status: 0 success; 1 a step failed, or the output could not be written; 2 a refusal or a wrong use, nothing touched.)";

// What the command line asks for: the store and the command to run.
struct Request {
    std::optional<std::string> store;
    std::function<int()> command;
    bool json = false, yes = false;
    InstallArguments install;
    FetchArguments fetch;
    BackupArguments backup;
    std::string slot, text;
    std::optional<int> wait;  // seconds; 0: as long as it takes
};

void addReports(CLI::App& app, Request& request)
{
    CLI::App* status = app.add_subcommand("status", "the store, its free space, colour and slots");
    status->add_flag("--json", request.json, "as JSON");
    status->callback([&] {
        request.command = [&] {
            std::optional<Outcome> none = refuseNoImageStore();
            return none ? report(*none) : printed(statusReport(request.json));
        };
    });
    CLI::App* info = app.add_subcommand("info", "one slot: state, name, size, install time, image file, boot entry");
    info->add_option("SLOT", request.slot, "the slot, 0..9 or its name")->required();
    info->add_flag("--json", request.json, "as JSON");
    info->callback([&] {
        request.command = [&] {
            std::optional<Outcome> none = refuseNoImageStore();
            return none ? report(*none) : printed(infoReport(namedSlot(request.slot), request.json));
        };
    });
    CLI::App* images = app.add_subcommand("images", "the image files to install, sorted by name");
    images->add_flag("--json", request.json, "as JSON");
    images->callback([&] { request.command = [&] { return printed(imagesReport(request.json)); }; });
    CLI::App* log = app.add_subcommand("log", "what either front end did to the store, oldest first");
    log->callback([&] { request.command = [&] { return printed(actionLog()); }; });
}

void addInstalling(CLI::App& app, Request& request)
{
    InstallArguments& install = request.install;
    CLI::App* installing = app.add_subcommand("install", "install an image file of the store into a free slot");
    installing->add_option("FILE", install.file, "the image file, or an http:// URL to fetch it from first")->required();
    installing->add_option("--slot", install.slot, "the free slot (default: the first)")->check(slotRange);
    installing->add_option("--name", install.name, "the name (default: Image-N)")->check(imageNameRule);
    installing->add_flag("--settings", install.settings, "copy the running system's settings along");
    installing->add_flag("--remove-file", install.removeFile,
        "remove the image file and its checksum files once installed (a backup stays)");
    installing->callback([&] { request.command = [&] { return report(withProgressLine(installCommand, install), request.json); }; });
    CLI::App* fetch = app.add_subcommand("fetch", "download an image file from an http server into the store");
    fetch->add_option("URL", request.fetch.url, "http://[USER:PASSWORD@]HOST[:PORT]/PATH")->required();
    fetch->add_option("NAME", request.fetch.name, "its name in the store (default: the server's, or the URL's last part)");
    auto fetching = [](const FetchArguments& arguments) { return fetchCommand(arguments); };
    fetch->callback([&, fetching] {
        request.command = [&, fetching] { return report(withProgressLine(fetching, request.fetch), request.json); };
    });
    CLI::App* verify = app.add_subcommand("verify", "check an image file as an installation would, without it");
    verify->add_option("FILE", install.file, "the image file")->required();
    verify->add_option("--slot", install.slot, "the slot it would go into (default: the first free)")->check(slotRange);
    verify->callback([&] { request.command = [&] { return report(withProgressLine(verifyCommand, install), request.json); }; });
}

void addSlotActions(CLI::App& app, Request& request)
{
    CLI::App* rename = app.add_subcommand("rename", "rename an installed slot");
    rename->add_option("SLOT", request.slot, "the slot, 0..9 or its name")->required();
    rename->add_option("NAME", request.text, "the new name (empty: Image-N)")->required()->check(imageNameRule);
    rename->callback([&] { request.command = [&] { return report(renameCommand(namedSlot(request.slot), request.text), request.json); }; });
    CLI::App* erase = app.add_subcommand("erase", "erase a slot with everything in it");
    erase->add_option("SLOT", request.slot, "the slot, 0..9 or its name")->required();
    erase->add_flag("--yes", request.yes, "erase without asking");
    erase->callback([&] { request.command = [&] { return report(eraseCommand(namedSlot(request.slot), request.yes ? Confirm() : askOnTerminal), request.json); }; });
    CLI::App* remove = app.add_subcommand("remove", "remove an image file of the store with its checksum files");
    remove->add_option("FILE", request.text, "the image file or checksum file, by its name in the store")->required();
    remove->add_flag("--yes", request.yes, "remove without asking");
    remove->callback([&] { request.command = [&] { return report(removeCommand(request.text, request.yes ? Confirm() : askOnTerminal), request.json); }; });
}

void addBootMenu(CLI::App& app, Request& request)
{
    CLI::App* colour = app.add_subcommand("color", "set the boot menu's colour");
    colour->add_option("COLOUR", request.text, "green cyan red magenta orange white gray, or its code 2..8")
        ->required()
        ->check(CLI::Validator(
            [](std::string& value) { return colorKey(value) ? "" : unknownColor(value); }, "COLOUR"));
    colour->callback([&] { request.command = [&] { return report(colorCommand(request.text), request.json); }; });
    CLI::App* menu = app.add_subcommand("menu", "write the boot menu from the slots");
    menu->callback([&] { request.command = [&] { return report(menuCommand(), request.json); }; });
    CLI::App* chosen = app.add_subcommand("default", "choose the slot the boot menu starts by default");
    chosen->add_option("SLOT", request.slot, "the slot, 0..9 or its name, or flash for the firmware")->required();
    chosen->callback([&] { request.command = [&] { return report(defaultCommand(request.slot), request.json); }; });
}

void addBackup(CLI::App& app, Request& request)
{
    BackupArguments& backup = request.backup;
    CLI::App* command = app.add_subcommand("backup", "write an installed slot into an image file that installs again");
    command->add_option("SLOT", request.slot, "the slot: 0..9 or its name")->required();
    command->add_option("FILE", backup.file, "the image file (default: NAME-YYYYMMDD-HHMM.img in the store)");
    command->add_flag("--force", backup.force, "replace FILE and its checksum files");
    command->add_flag("--json", request.json, "the result as JSON");
    command->callback([&] {
        request.command = [&] {
            backup.slot = namedSlot(request.slot);
            BackupRun run = backupCommand(backup);
            return run.result.outcome.kind == Outcome::Done ? printed(backupLines(run, request.json))
                                                            : report(run.result.outcome, request.json);
        };
    });
}

// Runs the command on the store; a refusal found on the way has status 2.
int run(const Request& request)
{
    if (!request.command) {
        std::cerr << "nimbrel: a command is required (see nimbrel --help)\n";
        return 2;
    }
    try {
        chooseStore(request.store);
        if (request.wait)
            storeWaitMs = *request.wait <= 0 || *request.wait > INT_MAX / 1000 ? INT_MAX : *request.wait * 1000;
        useMountStandIn();
        return request.command();
    } catch (const Refusal& refusal) {
        std::cerr << "nimbrel: " << printable(refusal.what()) << "\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "nimbrel: " << error.what() << "\n";
        return 1;
    }
}

// Blanks the password of each URL among ARGV in place, once it is read:
// ps and /proc/PID/cmdline show a program's arguments to every user.
void hidePasswords(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto [start, at] = userInfoAt(arg);
        size_t colon = isFetchUrl(arg) && at != std::string::npos ? arg.find(':', start) : std::string::npos;
        if (colon < at)
            std::fill(argv[i] + colon + 1, argv[i] + at, '*');
    }
}

} // namespace

int main(int argc, char** argv)
{
    logFrontEnd = "nimbrel";
    OutputCheck output;  // before standard output, if closed, becomes /dev/null
    StandardStreams streams;
    OwnStderr ownStderr;
    CLI::App app("nimbrel: the image store of nimbrel.so from a shell", "nimbrel");
    app.set_version_flag("--version", versionLine());
    app.require_subcommand(0, 1);  // none is named by run, an unknown word by CLI11
    app.fallthrough();
    Request request;
    app.add_option("--store", request.store, "the image store (default: the first line of /tmp/org)")
        ->type_name("DIR");
    addReports(app, request);
    addInstalling(app, request);
    addSlotActions(app, request);
    addBootMenu(app, request);
    addBackup(app, request);
    addServe(app, request.command);
    for (const char* name : {"install", "fetch", "verify", "rename", "erase", "remove", "color", "menu", "default"})
        app.get_subcommand(name)->add_flag("--json", request.json, "the outcome as one JSON object on stdout");
    int waitSeconds = 0;
    CLI::Option* wait = app.add_flag("--wait{0}", waitSeconds, "wait for a busy store, SECONDS at most (--wait=SECONDS), instead of refusing");
    app.footer(helpFooter);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error);  // --help and --version, on stdout
        std::cerr << "nimbrel: " << printable(error.what()) << " (see nimbrel --help)\n";
        return 2;
    }
    hidePasswords(argc, argv);
    if (wait->count() > 0)
        request.wait = waitSeconds;
    return output.finish(run(request));
}
