#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "pchost/session.h"
#include "pchost/widgethost.h"

// The screen as text.
namespace {

std::vector<std::string> screenLines()
{
    std::vector<std::string> lines;
    std::istringstream screen(pchost::screenText());
    for (std::string line; std::getline(screen, line);)
        lines.push_back(line);
    return lines;
}

// LENGTH characters of the text screen from the cell of WIDGET's top left
// corner, or from its bottom left one.
std::string cellsAt(const eWidget* widget, size_t length, bool bottom = false)
{
    ePoint at = eWidgetHost::screenPosition(widget);
    int y = bottom ? at.y + widget->getSize().h - 1 : at.y;
    return screenLines().at(y / 16).substr(at.x / 8, length);
}

// A frame with the title around the window, each widget at its cell with
// the focus mark, an input field visible even when empty, a later window
// over an earlier one.
TEST(Screen, DrawsFramesAndWidgetsAtTheirCells)
{
    eWindow window;
    window.cmove(ePoint(200, 150));
    window.cresize(eSize(280, 200));
    window.setText("Title");
    auto* button = new eButton(&window);
    button->resize(eSize(200, 16));
    button->setText("Press me");
    auto* box = new eCheckbox(&window, 1);
    box->move(ePoint(0, 32));
    box->setText("Ticked");
    auto* field = new eTextInputField(&window);
    field->move(ePoint(0, 64));
    field->resize(eSize(100, 16));
    window.show();

    EXPECT_EQ(pchost::screenText().size(), 36u * 91);  // 36 lines of 90 and a line end
    EXPECT_EQ(cellsAt(&window, 10), "+- Title -");
    EXPECT_EQ(cellsAt(&window, 3, true), "+--");
    EXPECT_EQ(cellsAt(button, 9), ">Press me");
    EXPECT_EQ(cellsAt(box, 11), " [x] Ticked");
    EXPECT_EQ(cellsAt(field, 13), " [          ]");
    field->typeText("ab");
    EXPECT_EQ(cellsAt(field, 13), " [ab        ]");

    eWindow above;
    above.move(window.getPosition());
    above.resize(window.getSize());
    above.setText("On top");
    above.show();
    EXPECT_EQ(cellsAt(&window, 11), "+- On top -");
    EXPECT_EQ(pchost::screenText().find("Press me"), std::string::npos);
    above.hide();
    window.hide();
    EXPECT_EQ(pchost::screenText().find("Title"), std::string::npos);
}

TEST(Screen, MarksTheCurrentEntryAndDrawsAnOpenComboOnTop)
{
    eWindow window;
    window.cmove(ePoint(8, 32));
    window.cresize(eSize(400, 300));
    auto* list = new eListBox<eListBoxEntryText>(&window);
    list->resize(eSize(200, 2 * eListBoxEntryText::getEntryHeight()));  // room for two rows
    for (const char* text : {" one", " two", " three"})
        new eListBoxEntryText(list, text);
    auto* combo = new eComboBox(&window, 2);
    combo->move(ePoint(0, 64));
    combo->resize(eSize(100, 16));
    for (const char* text : {"red", "green", "blue"})
        new eListBoxEntryText(combo->getListBox(), text);
    auto* field = new eTextInputField(&window);
    field->move(ePoint(0, 160));
    field->resize(eSize(100, 16));
    pchost::startScript("down down snap down ok down snap exit down ok text:ab snap");
    window.show();
    window.exec();

    ASSERT_EQ(pchost::snaps().size(), 3u);
    const std::string& listFocused = pchost::snaps()[0];
    EXPECT_NE(listFocused.find("|  two"), std::string::npos);
    EXPECT_NE(listFocused.find("|> three"), std::string::npos);
    EXPECT_EQ(listFocused.find(" one"), std::string::npos);  // scrolled away
    const std::string& comboOpen = pchost::snaps()[1];
    EXPECT_NE(comboOpen.find("|* three"), std::string::npos);
    EXPECT_NE(comboOpen.find("|>green "), std::string::npos);
    EXPECT_NE(comboOpen.find("| red "), std::string::npos);
    EXPECT_EQ(comboOpen.find("blue"), std::string::npos);  // two rows open
    EXPECT_EQ(combo->getCurrent()->getText(), "red");
    EXPECT_NE(pchost::snaps()[2].find(">[ab_       ]"), std::string::npos);  // the cursor
}

} // namespace
