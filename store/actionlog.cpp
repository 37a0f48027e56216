#include "store/actionlog.h"

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/context.h"
#include "store/durable.h"

const char* logFrontEnd = "windows";

namespace {

const char* const kindNames[] = {"done", "failed"};

// A field of one line: a box's line ends as blanks, other control
// characters as '?'.
std::string oneLine(const std::string& text)
{
    std::string line = text;
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7f)
            c = c == '\n' ? ' ' : '?';
    }
    return line;
}

std::string logLine(const eString& action, const eString& slot, const Outcome& outcome)
{
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", gmtime_r(&now, &utc));
    std::string message = outcome.message;
    if (!outcome.detail.empty())
        message += ": " + outcome.detail;
    return std::string(stamp) + " " + logFrontEnd + " " + oneLine(action) + " " +
        (slot.empty() ? std::string("-") : oneLine(slot)) + " " + kindNames[outcome.kind] + " " + oneLine(message) +
        "\n";
}

// The log with LINE, cut to its newest whole lines within the bound, put in
// place by a rename: a cut leaves the old file or the new one.
void replaceLog(const eString& path, const std::string& line)
{
    std::string text;
    unsigned mode = 0;
    readWholeFile(path, text, mode, 4 * actionLogLimit);
    text += line;
    if (text.size() > actionLogLimit / 2) {  // half: a replacement now and then, not at every line
        size_t cut = text.find('\n', text.size() - actionLogLimit / 2);
        text.erase(0, cut == std::string::npos || cut + 1 >= text.size() ? text.size() - line.size() : cut + 1);
    }
    eString scratch = path + ".new";
    // Content durable before the rename, the rename before the action ends.
    if (writeFreshFile(scratch, text, 0644) && syncFileSystem(mpoint) &&
        std::rename(scratch.c_str(), path.c_str()) == 0)
        syncDirectory(mpoint);
    else
        std::remove(scratch.c_str());
}

} // namespace

eString actionLogPath()
{
    return mpoint + "/nimbrel.log";
}

void logAction(const eString& action, const eString& slot, const Outcome& outcome)
{
    if (outcome.kind == Outcome::Refused)
        return;
    eString path = actionLogPath();
    std::string line = logLine(action, slot, outcome);
    struct stat st;
    bool there = lstat(path.c_str(), &st) == 0;
    if (there && (!S_ISREG(st.st_mode) || st.st_size + line.size() > actionLogLimit))
        return replaceLog(path, line);
    Descriptor fd(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd || write(fd.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        return;
    // One barrier either way: a new file's name needs its directory's too.
    if (there)
        fdatasync(fd.get());
    else
        syncFileSystem(mpoint);
}
