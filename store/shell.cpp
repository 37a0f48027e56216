#include "store/shell.h"

#include <csignal>
#include <initializer_list>
#include <pthread.h>
#include <string>
#include <unistd.h>

#include "store/commandwatch.h"
#include "store/descriptor.h"
#include "store/groupshell.h"

static_assert(statusDescriptor + 1 == handedDescriptor, "the handed descriptors follow the status");

namespace {

// This thread's: in nimbrel serve the slots' du and the status run their
// commands beside an installation, which must not keep its lock.
thread_local int sharedDescriptor = -1;  // see SharedWithCommands
thread_local CommandsInOneShell* oneShell = nullptr;

// How long a shell at the end of its script is given to go; it is ended
// with its group after that.
constexpr int scriptEndMs = 2000;

sigset_t signalSet(std::initializer_list<int> numbers)
{
    sigset_t set;
    sigemptyset(&set);
    for (int number : numbers)
        sigaddset(&set, number);
    return set;
}

const sigset_t interrupts = signalSet({SIGINT, SIGQUIT});

// Starts a group shell that runs SCRIPT, or reads it from INPUT when SCRIPT
// is null, with the descriptors HANDED and the shared one; its pid, or -1.
// STATUS becomes the end it writes its statuses to.
pid_t startGroupShell(const char* script, int input, const std::vector<int>& handed, Descriptor& status)
{
    int ends[2];
    if (handed.size() > maxHandedDescriptors || !makePipe(ends))
        return -1;
    Descriptor report(ends[1]);
    status = Descriptor(ends[0]);
    GroupShellPlan plan = {script, getpid(), {report.get()}, 1, input};
    for (int fd : handed)
        plan.sources[plan.count++] = fd;
    if (sharedDescriptor >= 0)
        plan.sources[plan.count++] = sharedDescriptor;
    pid_t pid = spawnGroupShell(plan);
    report.close();  // its end then tells that the shell is gone
    if (pid > 0)
        setpgid(pid, pid);  // unchecked: the child does so too; this only closes the race with a kill
    return pid;
}

} // namespace

eString shellQuote(const eString& value)
{
    eString quoted = "'";
    for (char c : value) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += "'";
    return quoted;
}

StartedCommand::StartedCommand(const eString& line, const CommandOptions& options)
    : options(options)
    , start(CommandClock::now())
{
    if (oneShell && !oneShell->running && options.handed.empty()) {
        shell = oneShell;
        shell->running = this;
        pid = shell->send(line) ? shell->pid : -1;
        return;
    }
    std::string script = groupShellScript(line.c_str());
    pid = startGroupShell(script.c_str(), -1, options.handed, status);
}

StartedCommand::~StartedCommand()
{
    end();
}

CommandEnd StartedCommand::end()
{
    if (ended)
        return *ended;
    if (shell) {
        ended = pid > 0 ? shell->watchRunning(options, start) : CommandEnd::Failed;
        shell->running = nullptr;
        shell = nullptr;
    } else {
        ended = pid > 0 ? watchCommand(pid, status.get(), options, start, false).end : CommandEnd::Failed;
    }
    return *ended;
}

CommandsInOneShell::CommandsInOneShell()
    : outer(oneShell)
{
    oneShell = this;
}

CommandsInOneShell::~CommandsInOneShell()
{
    if (running)
        running->end();
    oneShell = outer;
    endShell();
}

// Sends LINE's command to the shell, started first if there is none.
bool CommandsInOneShell::send(const eString& line)
{
    if (pid <= 0 && !startShell())
        return false;
    if (sendAll(script.get(), groupShellCommand(line.c_str()) + "\n"))
        return true;
    endShell();
    return false;
}

bool CommandsInOneShell::startShell()
{
    int ends[2];
    if (!makeSocketPair(ends))
        return false;
    script = Descriptor(ends[0]);
    Descriptor input(ends[1]);
    pid = startGroupShell(nullptr, input.get(), {}, status);
    input.close();
    if (pid > 0 && !sendAll(script.get(), groupShellTrap + std::string("\n")))
        endShell();
    return pid > 0;
}

// The running command's end; the shell is forgotten once it is gone.
CommandEnd CommandsInOneShell::watchRunning(const CommandOptions& options, std::chrono::steady_clock::time_point start)
{
    Watched watched = watchCommand(pid, status.get(), options, start, true);
    if (watched.shellGone)
        pid = -1;
    return watched.end;
}

// Ends the shell and forgets it: told to exit, not left to find the end
// of its script (a fork of the host that holds the socket would keep that
// end from coming), and ended with its group if it does not go. A send
// that fails found it gone already: no kill then, to a pid that a host
// which reaps may have let another process take.
void CommandsInOneShell::endShell()
{
    if (pid <= 0)
        return;
    sendAll(script.get(), "exit\n");  // unchecked: see above
    script.close();
    CommandOptions grace;
    grace.limitMs = scriptEndMs;
    watchCommand(pid, status.get(), grace, CommandClock::now(), false);
    pid = -1;
}

CommandEnd runWatched(const eString& line, const CommandOptions& options)
{
    return StartedCommand(line, options).end();
}

bool runCommand(const eString& line)
{
    return runWatched(line, {}) == CommandEnd::Succeeded;
}

bool runPolled(const eString& line, const std::function<void()>& tick, const std::function<bool()>& stop)
{
    return runWatched(line, {tick, stop, {}, 0}) == CommandEnd::Succeeded;
}

HeldInterrupts::HeldInterrupts()
{
    pthread_sigmask(SIG_BLOCK, &interrupts, &before);
}

HeldInterrupts::~HeldInterrupts()
{
    pthread_sigmask(SIG_SETMASK, &before, nullptr);  // one that came acts now
}

SharedWithCommands::SharedWithCommands(int descriptor)
{
    sharedDescriptor = descriptor;
}

SharedWithCommands::~SharedWithCommands()
{
    sharedDescriptor = -1;
}
