#include "cli/backupcommand.h"

#include <chrono>
#include <nlohmann/json.hpp>

#include "cli/console.h"
#include "install/imagecheck.h"
#include "store/controls.h"

BackupRun backupCommand(const BackupArguments& arguments)
{
    auto start = std::chrono::steady_clock::now();
    ProgressLine line;
    InterruptWatch watch;
    BackupRequest request;
    request.slot = arguments.slot;
    request.file = arguments.file;
    request.force = arguments.force;
    request.progress = line.shown();
    request.cancelled = InterruptWatch::interrupted;
    BackupRun run;
    run.result = backupSlot(request);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

std::string backupLines(const BackupRun& run, bool json)
{
    const BackupResult& result = run.result;
    if (json) {
        nlohmann::json object = {{"ok", true}, {"status", 0}, {"message", result.outcome.message},
            {"file", result.file}, {"bytes", result.bytes}, {"md5", result.md5}, {"sha256", result.sha256},
            {"seconds", run.seconds}, {"beyond_old_cut", result.beyondOldCut}};
        return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    std::string lines = printable(result.outcome.message) + "\n";
    if (result.beyondOldCut)
        lines += "warning: its squashfs part is over " + std::to_string(squashfsCutLimit) +
            " bytes, which older installers cut short\n";
    return lines;
}
