#include "host/emessagebox.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "host/elabel.h"
#include "pchost/toolkit/metrics.h"

namespace {

const int margin = 10;
const int buttonWidth = 100;

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

// The text at the top, one line per row, the OK button centred under it;
// the box in the middle of the screen.
eMessageBox::eMessageBox(eString message, eString caption, int flags, int defaultButton,
    int timeout)
    : eWindow(0)
    , message(message)
    , flags(flags)
    , defaultButton(defaultButton)
    , timeout(timeout)
{
    setText(caption);
    std::vector<std::string> lines = linesOf(message);
    int textWidth = 0;
    for (const std::string& line : lines)
        textWidth = std::max(textWidth, pchost::textWidth(" " + line));
    int textHeight = std::max<int>(1, lines.size()) * pchost::lineHeight();
    int buttonHeight = pchost::fontSize() + 15;
    int width = std::max({textWidth, pchost::textWidth(caption) + 4 * margin, buttonWidth});
    eSize client(width + 2 * margin, textHeight + buttonHeight + 3 * margin);
    cresize(client);
    move(ePoint((pchost::screenWidth - getSize().w) / 2, (pchost::screenHeight - getSize().h) / 2));

    auto* label = new eLabel(this);
    label->setText(message);
    label->move(ePoint(margin, margin));
    label->resize(eSize(client.w - 2 * margin, textHeight));
    auto* ok = new eButton(this);
    ok->setText("OK");
    ok->move(ePoint((client.w - buttonWidth) / 2, textHeight + 2 * margin));
    ok->resize(eSize(buttonWidth, buttonHeight));
    ok->selected.connect([this] { close(0); });
}

eMessageBox::~eMessageBox() = default;
