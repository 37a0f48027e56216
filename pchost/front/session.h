#pragma once
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pchost/toolkit/keysource.h"

// The stand-in host's session: where the modal loops take their keys from,
// and what a scripted session records. Tests drive dialogs through it.
namespace pchost {

// Thrown by a modal loop of a scripted session that still waits after its
// keys ran out and exit was pressed 100 times.
struct ScriptExhausted : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Parses a key list such as: down ok text:"Sat 1.0" green snap snap:menu.png
// Throws std::invalid_argument naming the first word that is no key.
std::vector<KeyPress> parseKeys(const std::string& list);

// Starts a scripted session: modal loops take the keys of LIST (see
// parseKeys), then press exit. Clears what an earlier session recorded.
void startScript(const std::string& list);

// When on, each message box, snap and status line set while the plug-in is
// at work is also printed to standard output as it happens (the scripted
// mode of nimbrel-host).
void setEcho(bool on);

// Every message box shown in this session, as "[TITLE] TEXT" with each line
// end inside TEXT written as \n.
const std::vector<std::string>& shownMessages();
// The three integers each message box of this session was made with, in
// the order of shownMessages().
const std::vector<BoxIntegers>& shownBoxIntegers();
// The screens recorded by snap keys in this session.
const std::vector<std::string>& snaps();
// The screen as text now: 90 columns by 36 rows, one line each.
std::string screenText();

// Makes SOURCE the session's key source, keeping what the session recorded.
void setKeySource(std::unique_ptr<KeySource> source);

// Reads key names (as parseKeys takes them) line by line from IN and draws
// the screen to OUT before each wait. At end of input it presses exit like
// an exhausted script.
std::unique_ptr<KeySource> makeLineKeySource(std::istream& in, std::ostream& out);

// Counts the exits pressed for a key source that has run dry, and throws
// ScriptExhausted once there have been 100 of them.
class DryExits {
public:
    KeyPress next();

private:
    int pressed = 0;
};

// Before the plug-in blocks in a shell command: flushes standard output and
// lets the key source show the screen as it is now.
void beforeBlocking();

} // namespace pchost
