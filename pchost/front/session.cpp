#include "pchost/front/session.h"

#include <cctype>
#include <iostream>
#include <stdexcept>

#include "pchost/paint/pixels.h"
#include "pchost/paint/textgrid.h"
#include "pchost/toolkit/widgethost.h"

namespace pchost {

namespace {

class ScriptSource : public KeySource {
public:
    explicit ScriptSource(std::vector<KeyPress> keys) : keys(std::move(keys)) {}

    KeyPress nextKey() override
    {
        if (next < keys.size())
            return keys[next++];
        return dry.next();
    }

private:
    std::vector<KeyPress> keys;
    size_t next = 0;
    DryExits dry;
};

// What the modal loops are connected to: it hands them the keys of its
// source but the snaps, and records those and the message boxes.
struct Session : KeySource, ScreenListener {
    Session() { eWidgetHost::connect(this, this); }
    KeyPress nextKey() override;
    void messageShown(const std::string& title, const std::string& text,
        const BoxIntegers& boxIntegers) override;
    // Redraws the screen and, when echoing, prints TEXT on a line of its own.
    void statusChanged(const std::string& text) override;
    // Records the screen as text, or with PNG_FILE writes it there as a
    // picture (throws std::runtime_error when that fails or the host cannot
    // paint pixels).
    void snap(const std::string& pngFile);
    // Returns once a line has come on standard input, or its end.
    void awaitLine();

    std::unique_ptr<KeySource> source = std::make_unique<ScriptSource>(std::vector<KeyPress>());
    bool echo = false;
    std::vector<std::string> messages;
    std::vector<BoxIntegers> integers;
    std::vector<std::string> snaps;
};

Session& session()
{
    static Session current;
    return current;
}

// Splits off the next word of LIST at POS; a word may hold blanks inside
// double quotes, which are dropped.
bool nextWord(const std::string& list, size_t& pos, std::string& word)
{
    while (pos < list.size() && std::isspace(static_cast<unsigned char>(list[pos])))
        ++pos;
    if (pos >= list.size())
        return false;
    word.clear();
    bool quoted = false;
    for (; pos < list.size(); ++pos) {
        char c = list[pos];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && std::isspace(static_cast<unsigned char>(c)))
            break;
        else
            word += c;
    }
    if (quoted)
        throw std::invalid_argument("unterminated quote in key list: " + list);
    return true;
}

std::string escapeLineEnds(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

KeyPress DryExits::next()
{
    if (pressed >= 100)
        throw ScriptExhausted("the keys ran out and 100 presses of exit did not end the plug-in");
    ++pressed;
    return {Key::Exit, ""};
}

std::vector<KeyPress> parseKeys(const std::string& list)
{
    std::vector<KeyPress> keys;
    size_t pos = 0;
    std::string word;
    while (nextWord(list, pos, word)) {
        KeyPress press{Key::Text, ""};
        if (word.compare(0, 5, "text:") == 0)
            press.text = word.substr(5);
        else if (word.compare(0, 5, "snap:") == 0 && word.size() > 5)
            press = {Key::Snap, word.substr(5)};
        else if (!keyByName(word, press.key))
            throw std::invalid_argument("unknown key name: " + word);
        keys.push_back(press);
    }
    return keys;
}

void startScript(const std::string& list)
{
    Session& current = session();
    current.source = std::make_unique<ScriptSource>(parseKeys(list));
    current.messages.clear();
    current.integers.clear();
    current.snaps.clear();
}

void setEcho(bool on)
{
    session().echo = on;
}

const std::vector<std::string>& shownMessages()
{
    return session().messages;
}

const std::vector<BoxIntegers>& shownBoxIntegers()
{
    return session().integers;
}

const std::vector<std::string>& snaps()
{
    return session().snaps;
}

void setKeySource(std::unique_ptr<KeySource> source)
{
    session().source = std::move(source);
}

void Session::awaitLine()
{
    std::cout.flush();  // what the driver waits for before it says go
    std::string line;
    std::getline(std::cin, line);
}

KeyPress Session::nextKey()
{
    KeyPress press = source->nextKey();
    for (; press.key == Key::Snap || press.key == Key::Wait; press = source->nextKey()) {
        if (press.key == Key::Snap)
            snap(press.text);
        else
            awaitLine();
    }
    return press;
}

void beforeBlocking()
{
    std::cout.flush();
    session().source->beforeBlocking();
}

void Session::messageShown(const std::string& title, const std::string& text,
    const BoxIntegers& boxIntegers)
{
    messages.push_back("[" + title + "] " + escapeLineEnds(text));
    integers.push_back(boxIntegers);
    if (echo)
        std::cout << messages.back() << std::endl;
}

void Session::statusChanged(const std::string& text)
{
    if (echo)
        std::cout << text << std::endl;
    source->beforeBlocking();
}

std::string screenText()
{
    return paintText(buildScene()).text();
}

void Session::snap(const std::string& pngFile)
{
    if (!pngFile.empty()) {
        writeScreenPng(pngFile);
        return;
    }
    snaps.push_back(screenText());
    if (echo)
        std::cout << snaps.back() << std::flush;
}

} // namespace pchost
