#include <istream>
#include <ostream>
#include <stdexcept>

#include "pchost/front/session.h"

namespace pchost {

namespace {

// Shows the screen, then waits for a line of key names; the keys of one
// line are pressed one after another before the next prompt.
class LineKeySource : public KeySource {
public:
    LineKeySource(std::istream& in, std::ostream& out) : in(in), out(out) {}

    KeyPress nextKey() override
    {
        while (pending.empty()) {
            if (atEnd)
                return dry.next();
            draw();
            out << "keys> " << std::flush;
            std::string line;
            if (!std::getline(in, line)) {
                atEnd = true;
                out << "\n";
                continue;
            }
            readLine(line);
        }
        KeyPress press = pending.front();
        pending.erase(pending.begin());
        return press;
    }

    // Shows the screen once more if it changed since the last key, so that
    // what the plug-in is busy with can be seen.
    void beforeBlocking() override
    {
        if (screenText() != lastDrawn)
            draw();
    }

private:
    void draw()
    {
        lastDrawn = screenText();
        out << lastDrawn << std::flush;
    }

    void readLine(const std::string& line)
    {
        try {
            pending = parseKeys(line);
        } catch (const std::invalid_argument& error) {
            out << error.what() << "\n"
                << "keys: up down left right ok exit red green yellow blue 0..9 "
                   "text:ABC text:\"A B\" snap\n";
        }
    }

    std::istream& in;
    std::ostream& out;
    std::vector<KeyPress> pending;
    std::string lastDrawn;
    bool atEnd = false;
    DryExits dry;
};

} // namespace

std::unique_ptr<KeySource> makeLineKeySource(std::istream& in, std::ostream& out)
{
    return std::make_unique<LineKeySource>(in, out);
}

} // namespace pchost
