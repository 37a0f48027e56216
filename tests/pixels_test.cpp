#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <numeric>
#include <set>

#include "host/elabel.h"
#include "pchost/front/session.h"
#include "pchost/paint/pixels.h"
#include "pchost/paint/scene.h"
#include "pchost/toolkit/skin.h"
#include "pchost/toolkit/widgethost.h"
#include "plugin/plugin.h"
#include "tests/support.h"

// The plug-in's windows in pixels: something is painted wherever the
// toolkit places a window or a widget, and nothing anywhere else.
namespace {

using pchost::Rect;

// Runs the plug-in on KEYS, calling LOOK with the front window before each.
void runPlugin(const std::string& keys, std::function<void(eWidget* front)> look)
{
    struct Looking : pchost::KeySource {
        std::vector<pchost::KeyPress> keys;
        std::function<void(eWidget*)> look;
        pchost::DryExits dry;
        pchost::KeyPress nextKey() override
        {
            auto& stack = eWidgetHost::topLevels();
            look(*std::find_if(stack.rbegin(), stack.rend(), [](auto* w) { return w->isVisible(); }));
            if (keys.empty())
                return dry.next();
            pchost::KeyPress press = keys.front();
            keys.erase(keys.begin());
            return press;
        }
    };
    auto source = std::make_unique<Looking>();
    source->keys = pchost::parseKeys(keys);
    source->look = std::move(look);
    pchost::startScript("");
    pchost::setKeySource(std::move(source));
    plugin_exec(nullptr);
}

Rect rectOf(const eWidget* widget, bool client = false)
{
    ePoint at = client ? eWidgetHost::screenClientPosition(widget)
                       : eWidgetHost::screenPosition(widget);
    eSize size = client ? widget->getClientSize() : widget->getSize();
    return {at.x, at.y, size.w, size.h};
}

// The screen painted now: how many pixels of AREA outside SKIP are not
// COLOUR, and which colour most of them have.
struct Shot {
    pchost::Picture picture = pchost::paintScreen();

    std::map<uint32_t, int> counts(const Rect& area, const std::vector<Rect>& skip) const
    {
        std::map<uint32_t, int> counts;
        for (int y = area.y; y < area.y + area.h; ++y)
            for (int x = area.x; x < area.x + area.w; ++x)
                if (std::none_of(skip.begin(), skip.end(), [&](auto& r) { return r.contains(x, y); }))
                    ++counts[picture.pixels[y * picture.width + x]];
        return counts;
    }
    int other(const Rect& area, uint32_t colour, const std::vector<Rect>& skip = {}) const
    {
        auto all = counts(area, skip);
        return std::accumulate(all.begin(), all.end(), 0, [](int n, auto& c) { return n + c.second; }) - all[colour];
    }
    uint32_t dominant(const Rect& area, const std::vector<Rect>& skip = {}) const
    {
        auto all = counts(area, skip);
        return std::max_element(all.begin(), all.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    }
};

// Outside the windows only the background, inside never; in the front
// window's title bar a title, on each widget's place paint, and the rest of
// its client area bare.
void checkScreen(eWidget* front)
{
    Shot shot;
    ASSERT_EQ(shot.picture.width * shot.picture.height, 720 * 576);
    std::vector<Rect> windows;
    for (eWidget* window : eWidgetHost::topLevels())
        if (window->isVisible())
            windows.push_back(rectOf(window));
    uint32_t background = shot.picture.pixels[0];
    EXPECT_EQ(shot.other({0, 0, 720, 576}, background, windows), 0);
    for (const Rect& window : windows)
        EXPECT_EQ(shot.other(window, background), window.w * window.h);

    Rect whole = rectOf(front);
    Rect client = rectOf(front, true);
    Rect bar{whole.x, whole.y, whole.w, client.y - whole.y};
    EXPECT_GT(shot.other(bar, shot.dominant(bar)), 20);
    std::vector<Rect> places;
    for (eWidget* widget : front->getChildren())
        if (widget->isVisible())
            places.push_back(rectOf(widget).intersect(client));
    uint32_t fill = shot.dominant(client, places);
    for (eWidget* widget : front->getChildren()) {
        bool blank = typeid(*widget) == typeid(eLabel) && widget->getText().empty();
        if (!widget->isVisible() || blank)
            continue;
        EXPECT_GT(shot.other(rectOf(widget).intersect(client), fill), 20) << widget->getText();
    }
    EXPECT_EQ(shot.other(client, fill, places), 0);
}

TEST(Pixels, EveryWindowIsPaintedWhereTheToolkitPlacesIt)
{
    TestStore store;
    store.addSlot(2, "name=Alpha\n");
    store.addCorruptedSlot(5);
    std::set<std::string> seen;
    runPlugin("ok exit down ok exit down ok exit down ok exit down ok exit down ok ok "
              "up up up up ok green ok up ok green ok exit",
        [&](eWidget* front) {
            SCOPED_TRACE(front->getText());
            seen.insert(front->getText());
            checkScreen(front);
        });
    EXPECT_EQ(seen, (std::set<std::string>{"Nimbrel", "Install Image", "Rename Image",
                        "Erase Image", "Image Info", "Menu color", "About...", "Info", "Error"}));
}

// From the top of one row's ink in the overview's slot-number column to
// the next one's.
int overviewRowDistance(int fontSize)
{
    setSkinFontSize(fontSize);
    std::vector<int> starts;
    runPlugin("down down down ok", [&](eWidget* front) {
        if (front->getText() != "Image Info" || !starts.empty())
            return;
        Shot shot;
        Rect client = rectOf(front, true);
        Rect column{client.x + 10, client.y, 90, client.h};
        uint32_t fill = shot.dominant(column);
        for (int y = column.y, before = 0; y < column.y + column.h; ++y) {
            int ink = shot.other({column.x, y, column.w, 1}, fill);
            if (ink && !before)
                starts.push_back(y);
            before = ink;
        }
    });
    clearSkinFontSize();
    return starts.size() == 10 ? starts[1] - starts[0] : -1;
}

TEST(Pixels, FontSizeSetsTheOverviewsRowDistance)
{
    TestStore store;
    EXPECT_EQ(overviewRowDistance(12), 16);
    EXPECT_EQ(overviewRowDistance(30), 34);
    shell("rm /tmp/du.temp");  // what the overview measured with, left for no one
}

} // namespace
