#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "install/procedure.h"
#include "store/lock.h"
#include "tests/images.h"
#include "tests/support.h"

using ::testing::HasSubstr;

namespace {

// The host's keys for each action; the installation copies the settings.
const char installKeys[] = "ok down down down ok green ok exit";
const char renameKeys[] = "down ok down ok text:New ok green ok exit";
const char eraseKeys[] = "down down ok green ok exit";
const char colourKeys[] = "down down down down ok down ok exit";

// The environment that preloads the crash shim (built with the host, for
// its architecture) with SETTINGS; an ASan host would refuse it before its
// runtime.
std::string shim(const std::string& settings)
{
    return "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" NIMBREL_BUILD "/test-plugins/crashshim.so " +
        settings;
}

// A template store in /tmp/template (slot 5 installed from another image,
// new.img of the kind asked for, the boot menu as plain files; with SLOT0, a
// single-part new.img also installed in slot 0) that each run starts from as
// /tmp/run, and the trees of complete slots: new.img's first.
class CrashTest : public ::testing::Test {
protected:
    ~CrashTest() override { shell("rm -rf /tmp/run /tmp/tree /tmp/image /var/tuxbox/config"); }

    void makeTemplate(const std::string& options, bool slot0)
    {
        useCramfsStandIn();
        writeFlashSettings();
        makeImage(store.path("old.img"), "--name old");
        ASSERT_EQ(installImage(installRequest("old.img", "5")).kind, Outcome::Done);
        // An image that carries an Image.info must not look installed early.
        shell("rm -rf /tmp/tree " + store.path("old.img"));
        makeTree("/tmp/tree");
        writeFile("/tmp/tree/Image.info", "name=carried\n");
        makeImage(store.path("new.img"), options + " --from /tmp/tree");
        std::string into = slot0 ? store.root() : run;  // a single-part image file stays
        fresh();
        ASSERT_THAT(runHost(into, installKeys), HasSubstr("[Info] Image is installed"));
        trees = {slotTree(into + "/image/0"), slotTree(store.path("image/5"))};
        // A store whose boot menu is still two plain files: each run first
        // turns them into links, then switches to its new pair.
        shell("cd " + store.path("tools") + " && for f in menu lcdmenu.conf; do cp --remove-destination bootmenu/$f $f;"
            " done && rm -r bootmenu*");
    }

    void fresh() const { shell("rm -rf " + run + " && cp -a " + store.root() + " " + run); }

    // The store is sound, and a following installation works without help.
    void expectSoundAndInstallable()
    {
        EXPECT_EQ(storeFaults(run, trees, "new.img"), "");
        shell("cp -n " + store.path("new.img") + " " + run);
        EXPECT_THAT(runHost(run, installKeys), HasSubstr("[Info] Image is installed"));
        EXPECT_EQ(storeFaults(run, trees, "new.img") + leftovers(run), "");
    }

    // Kills the host at each step of the action of KEYS in turn, until it runs to its end.
    void killAtEveryStep(const char* keys)
    {
        int step = 1;
        for (std::string out; out.find("exit=0") == std::string::npos && step < 100; ++step) {
            SCOPED_TRACE(std::string(keys) + ", killed at step " + std::to_string(step));
            fresh();
            out = runHost(run, keys, shim("NIMBREL_CRASH_AT=" + std::to_string(step)));
            expectSoundAndInstallable();
        }
        EXPECT_TRUE(step > 4 && step < 100) << keys << ": the shim stopped nothing, or the action never ended";
    }

    TestStore store{"template"};
    const std::string run = "/tmp/run";
    std::vector<std::string> trees;
};

TEST_F(CrashTest, KilledAtEveryStepOfAnInstallation)
{
    for (const char* options : {"", "--two-part"}) {
        SCOPED_TRACE(options);
        shell("cd " + store.root() + " && rm -rf image *.img tools/menu tools/lcdmenu.conf");
        makeTemplate(options, false);
        killAtEveryStep(installKeys);
    }
}

TEST_F(CrashTest, KilledAtEveryStepAndRandomInstantsOfRenameEraseColour)
{
    makeTemplate("", true);
    std::mt19937 random(std::random_device{}());
    for (const char* keys : {renameKeys, eraseKeys, colourKeys}) {
        killAtEveryStep(keys);
        auto start = std::chrono::steady_clock::now();
        runHost(run, keys);
        std::uniform_real_distribution<double> instant(0,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        for (int kill = 0; kill < 6; ++kill) {
            std::string after = std::to_string(instant(random));
            SCOPED_TRACE(std::string(keys) + ", killed after " + after + " s");
            fresh();
            shell("setsid " NIMBREL_BUILD "/nimbrel-host --store " + run + " --keys '" + keys +
                "' >/dev/null 2>&1 & sleep " + after + "; kill -KILL -$! 2>/dev/null; wait");
            expectSoundAndInstallable();
        }
    }
}

// A full or failing disk for each file an action writes: the failure's box
// and no success box; the old boot menu and name stay, unless the slot is
// already in place when the sync of image/ fails.
TEST_F(CrashTest, FullOrFailingDiskAtEachStep)
{
    makeTemplate("", true);
    const char *menu = "menu", *conf = "lcdmenu.conf", *info = "Image.info.new", *copy = "could not copy squashfs";
    const char *rcS = "could not patch rcS", *settings = "could not copy settings";
    const char* const cases[][3] = {{info, installKeys, "could not write Image.info"},
        {info, renameKeys, "could not rename Image"}, {".install-1", installKeys, copy},
        {"var", installKeys, "could not move var_init"}, {"go", installKeys, "could not copy go"},
        {"rcS1", installKeys, rcS}, {"rcS", installKeys, rcS}, {"enigma.new", installKeys, settings},
        {"enigma", installKeys, settings}, {"run", installKeys, copy}, {"1", installKeys, copy},
        {"image", installKeys, "could not sync image directory"}, {menu, installKeys}, {conf, installKeys},
        {menu, renameKeys}, {conf, renameKeys}, {menu, eraseKeys}, {conf, eraseKeys}, {menu, colourKeys},
        {conf, colourKeys}};
    for (const char* error : {"28", "5"}) {
        for (const auto& [file, keys, box] : cases) {
            SCOPED_TRACE(std::string(file) + " failing with errno " + error + ", keys " + keys);
            fresh();
            std::string pair = readFile(run + "/tools/menu") + readFile(run + "/tools/lcdmenu.conf");
            std::string out = runHost(run, keys, shim("NIMBREL_ERRNO=" + std::string(error) + " NIMBREL_FULL=" + file));
            EXPECT_THAT(out, HasSubstr(std::string("[ERROR] ") + (box ? box : "could not write boot menu")));
            EXPECT_THAT(out, ::testing::Not(HasSubstr("[Info]")));
            EXPECT_EQ(readFile(run + "/tools/menu") + readFile(run + "/tools/lcdmenu.conf") == pair,
                std::string(file) != "image");
            expectSoundAndInstallable();
        }
    }
}

// Two installations at once never publish a half slot nor lose the image;
// while one action holds the store, any other is refused, changing nothing.
TEST_F(CrashTest, OneActionAtATimePerStore)
{
    makeTemplate("--two-part", false);
    const std::string host = "setsid -w " NIMBREL_BUILD "/nimbrel-host --store " + run + " --keys '" + installKeys + "'";
    for (int round = 0; round < 8; ++round) {
        fresh();
        EXPECT_THAT(capture(host + " & " + host + "; wait"), HasSubstr("[Info] Image is installed"));
        EXPECT_EQ(storeFaults(run, trees, "new.img") + leftovers(run), "");
    }
    for (const char* keys : {installKeys, renameKeys, eraseKeys, colourKeys}) {
        fresh();
        std::string before = fingerprint({run}, {});
        StoreLock held(run);
        EXPECT_THAT(runHost(run, keys), HasSubstr("[Error] image store is busy"));
        EXPECT_EQ(changedLines(before, fingerprint({run}, {})), "") << keys;
    }
}

// The store on an ext4 of its own whose disk is copied, without any sync,
// right after each success message: what a power cut then leaves must hold
// what was reported.
TEST(PowerCut, WhatWasReportedIsOnTheDisk)
{
    LoopDisk disk("ext", "64M", "mkfs.ext4 -q");
    TestStore store("ext/store");
    makeImage(store.path("new.img"), "--two-part");
    shell("mkdir -p /tmp/cut && sync");
    const struct {
        const char *keys, *message, *items;
    } steps[] = {{"ok green ok exit", "Image is installed", "Image-0,"}, {renameKeys, "Rename Image complete", "New,"},
        {eraseKeys, "Erase Image complete", ""}};
    std::vector<std::string> trees;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.message);
        EXPECT_THAT(runHost(store.root(), step.keys), HasSubstr("[Info] " + std::string(step.message)));
        ASSERT_EQ(shell("cp " + disk.disk() + " /tmp/disk.cut && mount -o loop /tmp/disk.cut /tmp/cut &&"
                        " umount /tmp/cut && e2fsck -fn /tmp/disk.cut >/dev/null 2>&1 &&"
                        " mount -o loop /tmp/disk.cut /tmp/cut"), 0);
        if (trees.empty())
            trees = {slotTree(store.path("image/0"))};
        EXPECT_EQ(storeFaults("/tmp/cut/store", trees), "");
        EXPECT_THAT(readFile("/tmp/cut/store/tools/lcdmenu.conf"),
            HasSubstr("=TovraImage," + std::string(step.items) + "\n"));
        EXPECT_EQ(pathExists("/tmp/cut/store/image/0"), step.keys != eraseKeys);
        shell("umount /tmp/cut");
    }
    shell("rm -rf /tmp/cut /tmp/disk.cut /tmp/image");
}

} // namespace
