#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <tuple>

#include "install/procedure.h"
#include "manage/slotactions.h"
#include "store/lock.h"
#include "store/shell.h"
#include "tests/images.h"
#include "tests/support.h"

using ::testing::HasSubstr;

namespace {

// The host's keys for each action; the installation copies the settings.
const char installKeys[] = "ok down down down ok green ok exit";
const char renameKeys[] = "down ok down ok text:New ok green ok exit";
const char eraseKeys[] = "down down ok green ok exit";
const char colourKeys[] = "down down down down ok down ok exit";

// nimbrel's backup of slot 5 over an older one, of another slot, in the store's backups/.
const char backupKeys[] = "cli backup 5 backups/saved.img --force";

const std::string hostPath = shellQuote(NIMBREL_BUILD "/nimbrel-host");

// The older backup, of slot SLOT, that backupKeys replace in the store at
// mpoint, and a copy of it as OLDER.
void makeOlderBackup(int slot, const std::string& older)
{
    ASSERT_EQ(shell("cd " + shellQuote(mpoint) + " && mkdir backups && " + shellQuote(NIMBREL_BUILD "/nimbrel") +
        " --store . backup " + std::to_string(slot) + " backups/saved.img >/dev/null && cp backups/saved.img " +
        shellQuote(older)), 0);
}

// What is wrong with the backup in STORE/backups (none there: nothing) after
// a kill or a power cut: it is the older one (as OLDER holds it) or the new
// one, with its own checksum files, a part of them or none, never with the
// other's; besides it only the partial files of ours.
std::string backupFaults(const std::string& store, const std::string& older)
{
    return capture("cd " + store + "/backups 2>/dev/null || exit 0; for sum in md5 sha256; do [ ! -e saved.img.$sum ] "
        "|| ${sum}sum -c --status saved.img.$sum || echo saved.img.$sum misfits; done; cmp -s saved.img " + older +
        " || { md5sum -c --status saved.img.md5 || md5sum -c --status .backup-5.part.md5; } 2>/dev/null || echo "
        "saved.img is neither; ls -A | grep -v -e '^saved\\.img' -e '^\\.backup-5\\.part'");
}

// A template store in /tmp/template (slot 5 installed from another image,
// new.img of the kind asked for, the boot menu; with SLOT0, a
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
        // The slot an erase takes is the default: its record must go first.
        ASSERT_EQ(slot0 ? chooseDefault(0).kind : Outcome::Done, Outcome::Done);
        trees = {slotTree(into + "/image/0"), slotTree(store.path("image/5"))};
    }

    void fresh() const { shell("rm -rf " + run + " && cp -a " + store.root() + " " + run); }

    // The store is sound, and a following installation works without help.
    // CHOOSING: a choice of the default slot was stopped, which may leave
    // the boot menu's default at the choice before.
    void expectSoundAndInstallable(bool choosing = false)
    {
        EXPECT_EQ(storeFaults(run, trees, "new.img", choosing) + backupFaults(run, "/tmp/older.img"), "");
        // A host killed between fork and exec leaves its child holding the lock a moment.
        EXPECT_FALSE(StoreLock(run, 10000).busy()) << "the store still locked 10 s after the host ended";
        shell("cp -n " + store.path("new.img") + " " + run);
        EXPECT_THAT(runHost(run, installKeys), HasSubstr("[Info] Image is installed"));
        EXPECT_EQ(storeFaults(run, trees, "new.img") + leftovers(run), "");
    }

    // Kills the host at each step of the action of KEYS in turn, until it
    // runs to its end; with SIGNAL 2, Ctrl-C, which waits for the end of the
    // installation and then ends the host without its box.
    void killAtEveryStep(const char* keys, const std::string& signal = "9")
    {
        int step = 1;
        for (std::string out; out.find("exit=0") == std::string::npos && step < 100; step += stepStride()) {
            SCOPED_TRACE(std::string(keys) + ", signal " + signal + " at step " + std::to_string(step));
            fresh();
            std::string at = std::to_string(step);
            // Ctrl-C needs a host that lets it act: the box's blocks it in its thread.
            out = runHost(run, keys, preloadShim("NIMBREL_CRASH_SIGNAL=" + signal + " NIMBREL_CRASH_AT=" + at),
                signal != "2");
            EXPECT_TRUE(signal != "2" || out.find("exit=0") != std::string::npos ||
                (pathExists(run + "/image/0/Image.info") && out.find("] ") == std::string::npos)) << out;
            expectSoundAndInstallable(std::string(keys).rfind("cli default", 0) == 0);
        }
        EXPECT_TRUE(step > 4 && step < 100) << keys << ": the shim stopped nothing, or the action never ended";
    }

    TestStore store{"template"};
    const std::string run = "/tmp/run";
    std::vector<std::string> trees;
};

TEST_F(CrashTest, KilledOrInterruptedAtEveryStepOfAnInstallation)
{
    for (const char* options : {"", "--two-part"}) {
        SCOPED_TRACE(options);
        shell("cd " + store.root() + " && rm -rf image *.img tools/menu tools/lcdmenu.conf");
        makeTemplate(options, false);
        killAtEveryStep(installKeys);
    }
    killAtEveryStep(installKeys, "2");
}

// A copy of big.img on a slow disk (the real cp runs a fortieth of the
// time), caught with its scratch slot begun. The host killed then: within
// a second no process of it is left, and the next installation meets
// nothing of it in the store. Ctrl-C to the host's process group then: the
// installation ends whole, the host after it, without its box.
TEST_F(CrashTest, KilledOrInterruptedMidCopy)
{
    makeTemplate("--two-part", false);
    makeImage("/tmp/big.img", "--two-part --size 60000");
    writeFile("/tmp/slow/cp", "#!/bin/sh\n/bin/cp \"$@\" & cp=$!\nwhile kill -STOP $cp 2>/dev/null && [ \"$(cut "
        "-d' ' -f3 /proc/$cp/stat)\" != Z ]; do sleep 0.2; kill -CONT $cp; sleep 0.005; done\nwait $cp\n", 0755);
    const std::string ours = "pgrep --ns $$ --nslist mnt -f ";  // not another test's
    const std::string copies = ours + "'cp -Rdp /tmp/[i]mage'";
    // Waited for, not timed: an emulated host on a busy machine takes seconds to get there.
    const std::string copyIntoSlot = ours + "'^/bin/cp .*install-0'";
    // The copies running, how the host ended and what it printed. The host
    // takes Ctrl-C, which a background job ignores by default.
    auto midCopy = [&](const std::string& signal, const std::string& meanwhile) {
        fresh();
        return capture("cd " + run + " && mv new.img /tmp && cp /tmp/big.img . || exit; PATH=/tmp/slow:$PATH env "
            "--default-signal=INT setsid " + hostPath + " --store " + run + " --keys '" + installKeys +
            "' >/tmp/host.out 2>/dev/null & host=$!; for i in $(seq 600); do " + copyIntoSlot + " >/dev/null && break; "
            "sleep 0.05; done; " + copyIntoSlot + " -c; kill " + signal + "; " + meanwhile +
            "wait $host; echo exit=$?; cat /tmp/host.out");
    };
    std::string gone = "for i in $(seq 10); do " + copies + " >/dev/null || break; sleep 0.1; done; ";
    EXPECT_THAT(midCopy("-KILL $host", gone + copies + " -c; mv /tmp/new.img . && rm big.img; "),
        ::testing::StartsWith("1\n0\nexit=137\n"));
    EXPECT_THAT(runHost(run, installKeys), HasSubstr("[Info] Image is installed"));
    EXPECT_EQ(storeFaults(run, trees, "new.img") + leftovers(run) + capture(copies), "");
    std::string out = midCopy("-INT -$host", "");
    EXPECT_THAT(out, ::testing::StartsWith("1\nexit=130\nplease wait !!!"));
    EXPECT_THAT(out, ::testing::Not(HasSubstr("] ")));
    shell("cp /tmp/big.img " + store.root());
    InstallRequest withSettings = installRequest("big.img", "0");
    withSettings.copySettings = true;
    ASSERT_EQ(installImage(withSettings).kind, Outcome::Done);
    EXPECT_EQ(slotTree(run + "/image/0"), slotTree(store.path("image/0")));
    EXPECT_EQ(readFile(run + "/image/0/Image.info"), "name=Image-0\n");
    EXPECT_EQ(storeFaults(run, {slotTree(store.path("image/0")), trees[1]}) + leftovers(run) + capture(copies), "");
}

// backup --force over an older backup killed at each step: the older one
// or the new one stays, each with its own checksum files; once it runs to
// its end, the new one with its own and nothing of ours besides.
TEST_F(CrashTest, KilledAtEveryStepOfABackupOverAnOlderOne)
{
    makeTemplate("", true);
    makeOlderBackup(0, "/tmp/older.img");
    killAtEveryStep(backupKeys);
    EXPECT_EQ(capture("cd " + run + " && ls -A backups; ls -d .backup-* 2>/dev/null; cmp -s backups/saved.img "
        "/tmp/older.img || echo new"), "saved.img\nsaved.img.md5\nsaved.img.sha256\nnew\n");
}

TEST_F(CrashTest, KilledAtEveryStepAndRandomInstantsOfRenameEraseColour)
{
    makeTemplate("", true);
    std::mt19937 random(std::random_device{}());
    killAtEveryStep("cli default 5");  // tools/default.slot names an installed slot at every step
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
            shell("setsid " + hostPath + " --store " + run + " --keys '" + keys +
                "' >/dev/null 2>&1 & sleep " + after + "; kill -KILL -$! 2>/dev/null; wait");
            expectSoundAndInstallable();
        }
    }
}

// A full or failing disk for each file an action writes or syncs ("run": the
// store's file system, a barrier of every action): the failure's box
// and no success box; the old boot menu and name stay, unless the slot is
// already in place when the sync of image/ fails.
TEST_F(CrashTest, FullOrFailingDiskAtEachStep)
{
    makeTemplate("", true);
    const char *menu = "menu.new", *conf = "lcdmenu.conf.new", *info = "Image.info.new";
    const char* copy = "could not copy squashfs";
    const char *rcS = "could not patch rcS", *settings = "could not copy settings";
    const char* const cases[][3] = {{info, installKeys, "could not write Image.info"},
        {info, renameKeys, "could not rename Image"}, {".install-1", installKeys, copy},
        {"var", installKeys, "could not move var_init"}, {"go", installKeys, "could not copy go"},
        {"rcS1", installKeys, rcS}, {"rcS", installKeys, rcS}, {"enigma.new", installKeys, settings},
        {"enigma", installKeys, settings}, {"run", installKeys, copy}, {"1", installKeys, copy},
        {"image", installKeys, "could not sync image directory"}, {menu, installKeys}, {conf, installKeys},
        {menu, renameKeys}, {conf, renameKeys}, {conf, eraseKeys}, {conf, colourKeys}, {"run", renameKeys},
        {"run", eraseKeys}, {"run", colourKeys}};
    const char* const errors[] = {"28", "5"};
    for (int e = 0; e < 2; ++e) {
        for (size_t c = 0; c < std::size(cases); ++c) {
            if (!sampled(e + static_cast<int>(c)))
                continue;
            const char* error = errors[e];
            const auto& [file, keys, box] = cases[c];
            SCOPED_TRACE(std::string(file) + " failing with errno " + error + ", keys " + keys);
            fresh();
            std::string old = readFile(run + "/tools/lcdmenu.conf");
            std::string out =
                runHost(run, keys, preloadShim("NIMBREL_ERRNO=" + std::string(error) + " NIMBREL_FULL=" + file));
            EXPECT_THAT(out, HasSubstr(std::string("[ERROR] ") + (box ? box : "could not write boot menu")));
            EXPECT_THAT(out, ::testing::Not(HasSubstr("[Info]")));
            EXPECT_EQ(readFile(run + "/tools/lcdmenu.conf") == old, std::string(file) != "image");
            expectSoundAndInstallable();
        }
    }
}

// An action's last barrier failing (the one that makes its success and
// its log's line durable): the failure is said, and logged after that line.
TEST_F(CrashTest, LastBarrierFailing)
{
    makeTemplate("", true);
    const struct {
        const char *keys, *action, *last;
    } cases[] = {{renameKeys, "rename 0", "4"}, {eraseKeys, "erase 0", "4"}, {colourKeys, "color -", "2"}};
    for (const auto& [keys, action, last] : cases) {
        SCOPED_TRACE(action);
        fresh();
        std::string out = runHost(run, keys, preloadShim("NIMBREL_ERRNO=5 NIMBREL_FAIL_BARRIER=" + std::string(last)));
        EXPECT_THAT(out, HasSubstr("[ERROR] could not write boot menu"));
        EXPECT_THAT(readFile(run + "/nimbrel.log"), ::testing::MatchesRegex(std::string(".* windows ") + action +
            " done [^\n]*\n[^ ]+ windows " + action + " failed could not write boot menu\n"));
        expectSoundAndInstallable();
    }
}

// Two installations at once never publish a half slot nor lose the image;
// while one action holds the store, any other is refused, changing nothing.
TEST_F(CrashTest, OneActionAtATimePerStore)
{
    makeTemplate("--two-part", false);
    const std::string host = "setsid -w " + hostPath + " --store " + run + " --keys '" + installKeys + "'";
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
    fresh();  // an installation into another store holds /tmp/image
    StoreLock elsewhere("/tmp");
    EXPECT_THAT(runHost(run, installKeys), HasSubstr("[Error] another installation is running"));
    EXPECT_EQ(storeFaults(run, trees, "new.img") + leftovers(run), "");
}

// The store on an ext2 or ext4 (the parameter's mkfs) whose disk file lies
// on an XFS that copies it at once, by a reflink: a copy of it taken right
// after the host was killed or has ended, repaired as the box would at
// boot, is what a power cut at that instant leaves. The template store:
// slots 2 and 5 installed from one image, the two-part new.img, a boot menu.
// An action whose power cuts are tested: its keys, the box it ends with,
// whether the store starts in an earlier version's link layout, and how
// many calls that force data to the disk the host makes for it.
struct CutAction {
    const char *name, *keys, *box;
    bool linked;
    int barriers;
};

void PrintTo(const CutAction& action, std::ostream* out)
{
    *out << action.name;
}

class PowerCut : public ::testing::TestWithParam<std::tuple<const char*, CutAction>> {
protected:
    PowerCut()
    {
        useCramfsStandIn();
        writeFlashSettings();
        TestStore store("pc/ext/store");
        makeImage(store.path("old.img"), "--name old");
        for (const char* slot : {"2", "5"})
            EXPECT_EQ(installImage(installRequest("old.img", slot)).kind, Outcome::Done);
        EXPECT_EQ(chooseDefault(2).kind, Outcome::Done);  // the slot an erase takes
        trees = {slotTree(store.path("image/2"))};
        if (std::get<1>(GetParam()).keys == backupKeys)
            makeOlderBackup(2, "/tmp/pc/older.img");
        makeImage(store.path("new.img"), "--two-part");
        shell("rm " + store.path("old.img") + " && umount /tmp/pc/ext && mkdir /tmp/pc/cut &&"
              " cp --reflink=always /tmp/pc/ext.disk /tmp/pc/template.disk");
    }
    ~PowerCut() override { release(); }

    // Runs the host with KEYS and ENV on the template store, made LINKED
    // (the pair as links into a directory, as an earlier version kept it) on
    // request, and mounts the copy of its disk when it ends on /tmp/pc/cut.
    std::string runAndCut(const char* keys, bool linked, const std::string& env)
    {
        shell("cd /tmp/pc && rm -f ext.disk && cp --reflink=always template.disk ext.disk && mount -o loop ext.disk "
              "ext");
        if (linked)
            makeLinkLayout(root("ext") + "/tools");
        return rerunAndCut(keys, env);
    }
    // As runAndCut, on the store as it is.
    std::string rerunAndCut(const char* keys, const std::string& env = "")
    {
        std::string out = runHost(root("ext"), keys, env);
        EXPECT_EQ(shell("cd /tmp/pc && { umount cut 2>/dev/null; cp --reflink=always ext.disk cut.disk; } && "
                        "{ e2fsck -fy cut.disk >/dev/null 2>&1; [ $? -lt 4 ]; } && mount -o loop,ro cut.disk cut"), 0);
        return out;
    }
    static void release()
    {
        shell("while mountpoint -q /tmp/image; do umount /tmp/image || break; done; umount /tmp/pc/cut /tmp/pc/ext "
              "2>/dev/null; rm -f /tmp/pc/cut.disk");
    }
    static std::string root(const char* disk) { return std::string("/tmp/pc/") + disk + "/store"; }
    // The boot menu and, unless PAIR, the store's listing and the slots' names.
    static std::string state(const char* disk, bool pair = false)
    {
        return capture("cd " + root(disk) + " && stat -c '%n %F %a' tools/menu tools/lcdmenu.conf && cat tools/menu "
                       "tools/lcdmenu.conf" + (pair ? "" : " image/*/Image.info && ls -A . image tools"));
    }

    LoopDisk xfs{"pc", "512M", "mkfs.xfs -q -m reflink=1"}, ext{"pc/ext", "64M", std::get<0>(GetParam())};
    std::vector<std::string> trees;
};

// An action, once run to its end and then killed before each of its calls
// that change files in turn, each kill followed by a colour change; a colour
// change also on a store in the link layout, which it turns into plain files.
TEST_P(PowerCut, EveryInstantLeavesASoundStoreAndWhatWasReportedStays)
{
    const auto [name, keys, box, linked, barriers] = std::get<1>(GetParam());
    // Under an emulated CPU each action runs on one disk: installation and rename on ext2, the others on ext4.
    bool ext2 = std::string(std::get<0>(GetParam())).find("ext2") != std::string::npos;
    if (!sampled(ext2 == (keys == installKeys || keys == renameKeys) ? 0 : 1, 2))
        GTEST_SKIP() << "emulated CPU: " << name << " runs on the other disk";
    EXPECT_THAT(runAndCut(keys, linked, preloadShim("NIMBREL_BARRIERS=/tmp/pc/barriers")), HasSubstr(box));
    EXPECT_EQ(readFile("/tmp/pc/barriers"), std::to_string(barriers) + "\n");
    if (keys == installKeys)
        trees.insert(trees.begin(), slotTree(root("ext") + "/image/0"));
    EXPECT_EQ(state("cut"), state("ext"));
    // The log's line costs no barrier, and is on the disk all the same: the
    // template's two installations, its default and this action's success.
    std::string log = readFile(root("cut") + "/nimbrel.log");
    EXPECT_EQ(log, readFile(root("ext") + "/nimbrel.log"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), keys == backupKeys ? 3 : 4);  // a backup logs none
    EXPECT_THAT(log.substr(log.rfind('\n', log.size() - 2) + 1), HasSubstr(" done "));
    EXPECT_EQ(storeFaults(root("cut"), trees, "new.img") + leftovers(root("ext")), "");
    release();
    int step = 1;
    for (std::string out; out.find("exit=0") == std::string::npos && step < 100; step += stepStride(), release()) {
        SCOPED_TRACE("killed at step " + std::to_string(step));
        out = runAndCut(keys, linked, preloadShim("NIMBREL_CRASH_AT=" + std::to_string(step)));
        EXPECT_EQ(storeFaults(root("cut"), trees, "new.img") + backupFaults(root("cut"), "/tmp/pc/older.img"), "");
        // A colour change then rewrites the boot menu: sound and on the disk,
        // whatever the stopped run left unsynced.
        rerunAndCut(colourKeys);
        EXPECT_EQ(storeFaults(root("cut"), trees, "new.img") + state("cut", true), state("ext", true));
    }
    EXPECT_TRUE(step > 3 && step < 100) << "the shim stopped nothing, or the action never ended";
}

// One test for each disk and action, so that each stays short where the
// host runs emulated.
INSTANTIATE_TEST_SUITE_P(Disks, PowerCut,
    ::testing::Combine(::testing::Values("mkfs.ext2 -q", "mkfs.ext4 -q"),
        // The action log's line costs none: the switch's last barrier takes it along.
        ::testing::Values(CutAction{"colour", colourKeys, "exit=0", false, 2},
            CutAction{"colourOnLinks", colourKeys, "exit=0", true, 5},
            CutAction{"rename", renameKeys, "[Info] Rename Image complete", false, 4},
            CutAction{"erase", eraseKeys, "[Info] Erase Image complete", false, 4},
            CutAction{"install", installKeys, "[Info] Image is installed", false, 4},
            CutAction{"backup", backupKeys, "backed up slot 5", false, 4})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param)).substr(5, 4) + "_" + std::get<1>(info.param).name;
    });

} // namespace
