#pragma once
#include <iosfwd>
#include <memory>

#include "pchost/front/session.h"

// Where the modal loops of a session take their keys from. A script, the
// line reader below, or a terminal front end.
namespace pchost {

class KeySource {
public:
    virtual ~KeySource() = default;

    // The next key for the innermost waiting modal loop. The screen is up to
    // date when it is called. May throw ScriptExhausted.
    virtual KeyPress nextKey() = 0;
    // Called before the plug-in blocks in long work (a shell command), so
    // that the screen can be redrawn while it waits.
    virtual void beforeBlocking() {}
};

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

// What the toolkit asks of the session.
KeyPress nextKey();
void beforeBlocking();
void recordMessage(const std::string& title, const std::string& text, const BoxIntegers& integers);
// Records the screen as text, or with PNG_FILE writes it there as a picture
// (throws std::runtime_error when that fails or the host cannot paint pixels).
void recordSnap(const std::string& pngFile = "");

} // namespace pchost
