#include "store/actionlog.h"

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/context.h"
#include "store/controls.h"
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
        if (isControlCharacter(static_cast<unsigned char>(c)))
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

// Appends LINE; with BARRIER on the disk before it returns.
void appendLine(const std::string& line, bool barrier)
{
    eString path = actionLogPath();
    struct stat st;
    bool there = lstat(path.c_str(), &st) == 0;
    if (there && (!S_ISREG(st.st_mode) || st.st_size + line.size() > actionLogLimit))
        return replaceLog(path, line);
    Descriptor fd(closeOnExec(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644)));
    if (!fd || write(fd.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()) || !barrier)
        return;
    // One barrier either way: a new file's name needs its directory's too.
    if (there)
        fdatasync(fd.get());
    else
        syncFileSystem(mpoint);
}

// This thread's expected line. A plain pointer: a thread_local with a
// destructor would keep the plug-in loaded after the host unloads it.
thread_local ExpectedAction* expected = nullptr;

} // namespace

eString actionLogPath()
{
    return mpoint + "/nimbrel.log";
}

void logAction(const eString& action, const eString& slot, const Outcome& outcome)
{
    bool said = expected && expected->written && outcome.kind == Outcome::Done && outcome.detail.empty() &&
        outcome.message == expected->success && action == expected->action && slot == expected->slot;
    forgetExpectedAction();
    if (outcome.kind != Outcome::Refused && !said)
        appendLine(logLine(action, slot, outcome), true);
}

ExpectedAction::ExpectedAction(const eString& action, const eString& slot, const eString& success)
    : action(action), slot(slot), success(success)
{
    expected = this;
}

ExpectedAction::~ExpectedAction()
{
    if (expected == this)
        expected = nullptr;
}

void writeExpectedAction()
{
    if (!expected || !expected->waiting || expected->written)
        return;
    appendLine(logLine(expected->action, expected->slot, Outcome::done(expected->success)), false);
    expected->written = true;
}

void forgetExpectedAction()
{
    if (expected)
        expected->waiting = expected->written = false;
}
