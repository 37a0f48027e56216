#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "host/elabel.h"
#include "pchost/keysource.h"
#include "pchost/pixels.h"
#include "pchost/scene.h"
#include "pchost/skin.h"
#include "pchost/widgethost.h"
#include "plugin/plugin.h"
#include "tests/support.h"

// The plug-in's windows in pixels: something is painted wherever the
// toolkit places a window or a widget, and nothing anywhere else.
namespace {

using pchost::Picture;
using pchost::Rect;

// A key script that looks at the screen before every key.
class Looking : public pchost::KeySource {
public:
    Looking(const std::string& keys, std::function<void()> look)
        : keys(pchost::parseKeys(keys)), look(std::move(look)) {}

    pchost::KeyPress nextKey() override
    {
        look();
        return next < keys.size() ? keys[next++] : dry.next();
    }

private:
    std::vector<pchost::KeyPress> keys;
    size_t next = 0;
    std::function<void()> look;
    pchost::DryExits dry;
};

void runPlugin(const std::string& keys, std::function<void()> look)
{
    pchost::startScript("");
    pchost::setKeySource(std::make_unique<Looking>(keys, std::move(look)));
    plugin_exec(nullptr);
}

Rect rectOf(const eWidget* widget)
{
    ePoint at = eWidgetHost::screenPosition(widget);
    return {at.x, at.y, widget->getSize().w, widget->getSize().h};
}

std::vector<eWidget*> shownWindows()
{
    std::vector<eWidget*> windows;
    for (eWidget* window : eWidgetHost::topLevels())
        if (window->isVisible())
            windows.push_back(window);
    return windows;
}

// The pixels of AREA (within the screen) for which TEST holds.
int count(const Picture& picture, const Rect& area, std::function<bool(int, int, uint32_t)> test)
{
    int found = 0;
    Rect within = area.intersect({0, 0, picture.width, picture.height});
    for (int y = within.y; y < within.y + within.h; ++y)
        for (int x = within.x; x < within.x + within.w; ++x)
            found += test(x, y, picture.pixels[y * picture.width + x]);
    return found;
}

int differing(const Picture& picture, const Rect& area, uint32_t colour)
{
    return count(picture, area, [&](int, int, uint32_t pixel) { return pixel != colour; });
}

// The colour most pixels of AREA have, leaving out those in LEFT_OUT.
uint32_t dominant(const Picture& picture, const Rect& area, const std::vector<Rect>& leftOut = {})
{
    std::map<uint32_t, int> counts;
    count(picture, area, [&](int x, int y, uint32_t pixel) {
        ++counts[pixel];
        counts[pixel] -= std::any_of(leftOut.begin(), leftOut.end(),
            [&](const Rect& place) { return place.contains(x, y); });
        return false;
    });
    return std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
        return a.second < b.second;
    })->first;
}

// Outside the windows there is only the background; inside them never.
void checkWindows(const Picture& picture, const std::vector<eWidget*>& windows)
{
    uint32_t background = picture.pixels[0];
    EXPECT_FALSE(rectOf(windows.front()).contains(0, 0));
    EXPECT_EQ(count(picture, {0, 0, picture.width, picture.height},
                  [&](int x, int y, uint32_t pixel) {
                      bool inside = std::any_of(windows.begin(), windows.end(),
                          [&](eWidget* window) { return rectOf(window).contains(x, y); });
                      return inside == (pixel == background);
                  }),
        0);
}

// Each shown widget of WINDOW with something to show has paint in its
// place; the rest of the client area is bare, and the title is in its bar.
void checkWidgets(const Picture& picture, eWidget* window)
{
    Rect whole = rectOf(window);
    ePoint client = eWidgetHost::screenClientPosition(window);
    Rect inside{client.x, client.y, window->getClientSize().w, window->getClientSize().h};
    Rect bar{whole.x, whole.y, whole.w, inside.y - whole.y};
    EXPECT_GT(differing(picture, bar, dominant(picture, bar)), 20);
    std::vector<Rect> places;
    for (eWidget* widget : window->getChildren()) {
        if (widget->isVisible())
            places.push_back(rectOf(widget).intersect(inside));
    }
    uint32_t fill = dominant(picture, inside, places);
    for (eWidget* widget : window->getChildren()) {
        bool blank = typeid(*widget) == typeid(eLabel) && widget->getText().empty();
        if (widget->isVisible() && !blank) {
            EXPECT_GT(differing(picture, rectOf(widget).intersect(inside), fill), 20)
                << widget->getText();
        }
    }
    EXPECT_EQ(count(picture, inside,
                  [&](int x, int y, uint32_t pixel) {
                      return pixel != fill && std::none_of(places.begin(), places.end(),
                          [&](const Rect& place) { return place.contains(x, y); });
                  }),
        0);
}

TEST(Pixels, EveryWindowIsPaintedWhereTheToolkitPlacesIt)
{
    TestStore store;
    store.addSlot(2, "name=Alpha\n");
    store.addCorruptedSlot(5);
    std::set<std::string> seen;
    runPlugin("ok exit down ok exit down ok exit down ok exit down ok exit down ok ok "
              "up up up up ok green ok up ok green ok exit",
        [&] {
            Picture picture = pchost::paintScreen();
            ASSERT_EQ(picture.width * picture.height, 720 * 576);
            std::vector<eWidget*> windows = shownWindows();
            ASSERT_FALSE(windows.empty());
            SCOPED_TRACE(windows.back()->getText());
            seen.insert(windows.back()->getText());
            checkWindows(picture, windows);
            checkWidgets(picture, windows.back());
        });
    EXPECT_EQ(seen, (std::set<std::string>{"Nimbrel", "Install Image", "Rename Image",
                        "Erase Image", "Image Info", "Menu color", "About...", "Info", "Error"}));
}

// The ink rows of the overview's slot-number column start one row
// distance apart, fd + 4, in whatever font size.
int overviewRowDistance(int fontSize)
{
    setSkinFontSize(fontSize);
    std::vector<int> starts;
    runPlugin("down down down ok", [&] {
        eWidget* front = shownWindows().back();
        if (front->getText() != "Image Info" || !starts.empty())
            return;
        Picture picture = pchost::paintScreen();
        ePoint client = eWidgetHost::screenClientPosition(front);
        Rect column{client.x + 10, client.y, 90, front->getClientSize().h};
        uint32_t fill = dominant(picture, column);
        bool before = false;
        for (int y = column.y; y < column.y + column.h; ++y) {
            bool ink = differing(picture, {column.x, y, column.w, 1}, fill) > 0;
            if (ink && !before)
                starts.push_back(y);
            before = ink;
        }
    });
    clearSkinFontSize();
    return starts.size() >= 10 ? starts[1] - starts[0] : -1;
}

TEST(Pixels, FontSizeSetsTheOverviewsRowDistance)
{
    TestStore store;
    EXPECT_EQ(overviewRowDistance(12), 16);
    EXPECT_EQ(overviewRowDistance(30), 34);
}

TEST(Pixels, SnapWritesThePicture)
{
    TestStore store;
    std::string host = std::string(NIMBREL_BUILD) + "/nimbrel-host";
    ASSERT_EQ(shell(host + " --store /tmp/store --keys 'snap:/tmp/menu.png' >/dev/null"), 0);
    std::string png = readFile("/tmp/menu.png");
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    auto number = [&](size_t at) {
        return (png[at] & 0xff) << 24 | (png[at + 1] & 0xff) << 16 | (png[at + 2] & 0xff) << 8 |
            (png[at + 3] & 0xff);
    };
    EXPECT_EQ(number(16), 720);
    EXPECT_EQ(number(20), 576);
    EXPECT_NE(shell(host + " --store /tmp/store --keys 'snap:/tmp/no/such/dir.png' 2>/dev/null"), 0);
}

} // namespace
