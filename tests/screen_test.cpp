#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "pchost/session.h"

// Geometry, ownership and the text screen.
namespace {

std::vector<std::string> screenLines()
{
    std::vector<std::string> lines;
    std::istringstream screen(pchost::screenText());
    for (std::string line; std::getline(screen, line);)
        lines.push_back(line);
    return lines;
}

TEST(Geometry, AWindowsFrameLiesAroundItsClientArea)
{
    eWindow window;
    window.cmove(ePoint(200, 150));
    window.cresize(eSize(280, 200));
    EXPECT_EQ(window.getPosition().x, 192);
    EXPECT_EQ(window.getPosition().y, 134);
    EXPECT_EQ(window.getSize().width(), 296);
    EXPECT_EQ(window.getSize().height(), 232);

    window.move(ePoint(180, 100));
    window.resize(eSize(370, 420));
    EXPECT_EQ(window.getClientPosition().x, 188);
    EXPECT_EQ(window.getClientPosition().y, 116);
    EXPECT_EQ(window.getClientSize().width(), 354);
    EXPECT_EQ(window.getClientSize().height(), 388);

    auto* label = new eLabel(&window);
    label->cmove(ePoint(10, 20));
    label->cresize(eSize(30, 40));
    EXPECT_EQ(label->getPosition().x, 10);
    EXPECT_EQ(label->getSize().height(), 40);
}

struct Tracked : eLabel {
    Tracked(eWidget* parent, int& deleted) : eLabel(parent), deleted(deleted) {}
    ~Tracked() override { ++deleted; }
    int& deleted;
};

TEST(Tree, ParentsDeleteTheirChildrenAndChildrenLeaveTheirParents)
{
    int deleted = 0;
    {
        eWindow window;
        auto* first = new Tracked(&window, deleted);
        new Tracked(first, deleted);
        auto* last = new Tracked(&window, deleted);
        delete last;
        EXPECT_EQ(deleted, 1);
        ASSERT_EQ(window.getChildren().size(), 1u);
        EXPECT_EQ(window.getChildren()[0], first);
    }
    EXPECT_EQ(deleted, 3);
}

TEST(Screen, DrawsFrameTitleAndWidgetsAtTheirCells)
{
    eWindow window;
    window.cmove(ePoint(200, 150));
    window.cresize(eSize(280, 200));
    window.setText("Title");
    auto* button = new eButton(&window);
    button->move(ePoint(10, 10));
    button->resize(eSize(200, 16));
    button->setText("Press me");
    auto* box = new eCheckbox(&window, 1);
    box->move(ePoint(10, 42));
    box->setText("Ticked");
    auto* hidden = new eLabel(&window);
    hidden->setText("Hidden text");
    hidden->hide();
    window.show();

    std::vector<std::string> lines = screenLines();
    ASSERT_EQ(lines.size(), 36u);
    for (const std::string& line : lines)
        EXPECT_EQ(line.size(), 90u);
    EXPECT_EQ(lines[8].substr(24, 10), "+- Title -");
    EXPECT_EQ(lines[9][24], '|');
    EXPECT_EQ(lines[22].substr(24, 3), "+--");
    EXPECT_EQ(lines[10].substr(26, 9), ">Press me");
    EXPECT_EQ(lines[12].substr(26, 11), " [x] Ticked");
    EXPECT_EQ(pchost::screenText().find("Hidden"), std::string::npos);

    window.hide();
    EXPECT_EQ(pchost::screenText().find("Press me"), std::string::npos);
}

TEST(Screen, MarksTheCurrentEntryAndDrawsAnOpenComboOnTop)
{
    eWindow window;
    window.cmove(ePoint(8, 32));
    window.cresize(eSize(400, 300));
    auto* list = new eListBox<eListBoxEntryText>(&window);
    list->resize(eSize(200, 32));  // room for two rows
    for (const char* text : {" one", " two", " three"})
        new eListBoxEntryText(list, text);
    auto* combo = new eComboBox(&window, 2);
    combo->move(ePoint(0, 64));
    combo->resize(eSize(100, 16));
    for (const char* text : {"red", "green", "blue"})
        new eListBoxEntryText(combo->getListBox(), text);
    pchost::startScript("down down snap down ok down snap");
    window.show();
    window.exec();

    ASSERT_EQ(pchost::snaps().size(), 2u);
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
}

TEST(Screen, LaterWindowsCoverEarlierOnes)
{
    eWindow below;
    below.cmove(ePoint(8, 16));
    below.cresize(eSize(400, 100));
    auto* label = new eLabel(&below);
    label->setText("covered text");
    eWindow above;
    above.cmove(ePoint(8, 16));
    above.cresize(eSize(400, 100));
    above.setText("On top");
    above.show();
    below.show();
    EXPECT_NE(pchost::screenText().find("covered text"), std::string::npos);
    above.show();
    EXPECT_EQ(pchost::screenText().find("covered text"), std::string::npos);
    EXPECT_NE(pchost::screenText().find("On top"), std::string::npos);
}

} // namespace
