#include "pchost/front/terminal.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "pchost/front/session.h"
#include "pchost/front/terminalkeys.h"
#include "pchost/paint/legend.h"
#include "pchost/paint/terminaldraw.h"

#include <curses.h>

namespace pchost {

namespace {

const int escapeDelayMs = 25;

SCREEN* terminal = nullptr;  // set while the front end has the terminal

const int caughtSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[std::size(caughtSignals)];

// A signal that came while the plug-in was at work, and whether it is
// waiting for a key now: a box on the screen is all there is to lose then.
volatile sig_atomic_t deferredSignal = 0;
volatile sig_atomic_t waitingForKey = 0;

void restoreTerminal()
{
    if (terminal && !isendwin())
        endwin();
}

// The terminal goes back to normal before the signal does what it would
// have done without us.
void endBySignal(int number)
{
    restoreTerminal();
    std::signal(number, SIG_DFL);
    std::raise(number);
}

// At work, the plug-in ends its step first (an installation holds the
// signal until it is done): what it then says is printed after the screen.
void onSignal(int number)
{
    if (waitingForKey)
        endBySignal(number);
    deferredSignal = number;
}

// Whether one of the signals waits: held by the plug-in, or deferred.
bool interruptWaiting()
{
    sigset_t pending;
    if (deferredSignal)
        return true;
    if (sigpending(&pending) != 0)
        return false;
    for (int number : caughtSignals) {
        if (sigismember(&pending, number) == 1)
            return true;
    }
    return false;
}

// Ends the host for a deferred signal, with the boxes shown since the last
// key on the normal terminal, where they stay readable.
void endIfDeferred(size_t seenMessages)
{
    if (!deferredSignal)
        return;
    restoreTerminal();
    const std::vector<std::string>& shown = shownMessages();
    for (size_t i = seenMessages; i < shown.size(); ++i)
        std::cout << shown[i] << "\n";
    std::cout << "nimbrel-host: interrupted, ended once the plug-in's step was done" << std::endl;
    endBySignal(deferredSignal);
}

void catchSignals()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(caughtSignals); ++i) {
        sigaction(caughtSignals[i], nullptr, &previousActions[i]);
        if (previousActions[i].sa_handler != SIG_IGN)  // keep nohup's choice
            sigaction(caughtSignals[i], &action, nullptr);
    }
}

void releaseSignals()
{
    for (size_t i = 0; i < std::size(caughtSignals); ++i)
        sigaction(caughtSignals[i], &previousActions[i], nullptr);
}

// Keys from the keyboard; the screen is drawn before every wait and before
// every shell command. Keys typed while a command blocked were typed blind,
// at a screen that has changed since: they are dropped once it is shown.
class TerminalKeys : public KeySource {
public:
    KeyPress nextKey() override
    {
        while (terminal) {
            draw();
            if (commandRan)
                flushinp();
            commandRan = false;
            errno = 0;
            // From here on a signal ends the host at once; one before is deferred.
            waitingForKey = 1;
            endIfDeferred(seenMessages);
            int code = getch();
            waitingForKey = 0;
            if (code == ERR && errno == EINTR)
                continue;
            if (code == ERR)
                break;  // nothing left to read
            if (terminalTooSmall())
                continue;  // keys pressed blind could do anything
            if (std::optional<KeyPress> press = translateKey(code, editingText())) {
                seenMessages = shownMessages().size();
                return *press;
            }
        }
        return dry.next();
    }

    void beforeBlocking() override
    {
        if (!terminal)
            return;
        draw();
        commandRan = true;
    }

private:
    void draw()
    {
        drawTerminal();
        if (interruptWaiting()) {
            move(LINES - 1, 0);
            clrtoeol();
            mvaddnstr(LINES - 1, 0, "interrupted: nimbrel-host ends once the installation or step under way has finished", COLS);
        }
        // What a shell command wrote to the terminal is unknown to curses.
        if (commandRan)
            clearok(curscr, TRUE);
        move(0, 0);
        refresh();
    }

    bool commandRan = false;  // since the last key was read
    size_t seenMessages = 0;  // the boxes shown before the last key
    DryExits dry;
};

} // namespace

TerminalFrontEnd::TerminalFrontEnd()
{
    terminal = newterm(nullptr, stdout, stdin);
    if (!terminal)
        throw std::runtime_error("curses cannot drive this terminal type");
    const char* cursorAddress = tigetstr("cup");
    if (!cursorAddress || cursorAddress == reinterpret_cast<char*>(-1)) {
        endwin();
        delscreen(terminal);
        terminal = nullptr;
        throw std::runtime_error("the terminal cannot place the cursor");
    }
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    set_escdelay(escapeDelayMs);
    curs_set(0);
    catchSignals();
    static const bool atExit = std::atexit(restoreTerminal) == 0;  // once: exit() in the plug-in
    (void)atExit;
    setKeySource(std::make_unique<TerminalKeys>());
}

TerminalFrontEnd::~TerminalFrontEnd()
{
    restoreTerminal();
    if (deferredSignal)
        endBySignal(deferredSignal);
    releaseSignals();
    SCREEN* gone = terminal;
    terminal = nullptr;
    delscreen(gone);
}

std::unique_ptr<TerminalFrontEnd> startTerminal()
{
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO))
        return nullptr;
    try {
        return std::make_unique<TerminalFrontEnd>();
    } catch (const std::runtime_error& error) {
        std::cerr << "nimbrel-host: " << error.what() << "; reading key names line by line\n";
        return nullptr;
    }
}

} // namespace pchost
