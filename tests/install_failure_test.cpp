#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "install/procedure.h"
#include "store/context.h"
#include "store/slots.h"
#include "tests/images.h"
#include "tests/support.h"

namespace {

using ::testing::HasSubstr;

// Installations into a store of which the tools mount and cp first run
// lines of their own: with /tmp/shim/no-offsets mount refuses offset=, as older
// ones do; the script /tmp/shim/before-mount runs before the next mount;
// cp -Rdp records the store's files in /tmp/shim/during-copy; when their
// arguments hold the text in /tmp/shim/busy, they leave a process working in
// /tmp/image behind, so that the mount there is busy.
class ShimTest : public ::testing::Test {
protected:
    ShimTest()
    {
        useCramfsStandIn();
        std::string path = saved = std::getenv("PATH"), busy = "\nstatus=$?\n[ -s /tmp/shim/busy ] && case \"$*\" in "
            "*\"$(cat /tmp/shim/busy)\"*) cd /tmp/image && { sleep 600 </dev/null >/dev/null 2>&1 &\n"
            "echo $! >/tmp/shim/holder.pid; } ;; esac\nexit $status\n";
        writeFile("/tmp/shim/mount", "#!/bin/sh\n[ -e /tmp/shim/no-offsets ] && case \"$*\" in *offset=*) exit 32 ;; "
            "esac\n[ -e /tmp/shim/before-mount ] && sh /tmp/shim/before-mount && rm /tmp/shim/before-mount\n"
            "PATH='" + path + "' mount \"$@\"" + busy, 0755);
        writeFile("/tmp/shim/cp", "#!/bin/sh\n[ \"$1\" = -Rdp ] && ls -A " + store.root() + " >/tmp/shim/during-copy\n"
            "PATH='" + path + "' cp \"$@\"" + busy, 0755);
        prependPath("/tmp/shim");
    }
    ~ShimTest() override { setenv("PATH", saved.c_str(), 1), shell("rm -rf /tmp/shim /tmp/image /tmp/away"); }

    // Installs new.img into slot 0. A failure must leave its message, the
    // image file as it was, the slot free, no boot menu, nothing left over.
    void expectOutcome(const std::string& message, bool twoPart)
    {
        std::string before = fingerprint({store.path("new.img")}, {});
        Outcome outcome = installImage(installRequest("new.img", "0"));
        if (pathExists("/tmp/shim/holder.pid")) {  // a mount kept busy on purpose: free it
            EXPECT_TRUE(isMountPoint("/tmp/image"));
            shell("kill -KILL $(cat /tmp/shim/holder.pid); rm /tmp/shim/holder.pid");
            for (int tries = 0; tries < 100 && shell("umount /tmp/image 2>/dev/null") != 0; ++tries)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        bool done = outcome.kind == Outcome::Done;
        EXPECT_EQ(outcome.message + " " + outcome.title(), message + (done ? " Info" : " ERROR"));
        EXPECT_EQ(fingerprint({store.path("new.img")}, {}), done && twoPart ? "" : before);
        EXPECT_EQ(probeSlot(0), done ? SlotState::Installed : SlotState::Free);
        EXPECT_EQ(pathExists(store.path("tools/menu")), done);
        EXPECT_EQ(leftovers(store.root()), "");
    }

    std::string saved;  // PATH without the shims: a shim that finds itself runs for ever
    TestStore store;
};

TEST_F(ShimTest, TwoPartStraightFromTheFileAndFailedStepsLeaveTheSlotFree)
{
    makeImage("/tmp/shim/big.img", "--two-part --size 50100");  // beyond the 51200000 bytes of the old cut
    // The system's own mount may take no offset= either, as in the run with
    // the box's tools: every two-part image is cut then.
    const bool offsets = shell("mkdir -p /tmp/probe && mount -t squashfs -o loop,offset=1179648 /tmp/shim/big.img "
        "/tmp/probe 2>/dev/null && umount /tmp/probe") == 0;
    shell("rmdir /tmp/probe");
    const std::string cut = "grep -q .cut-0 /tmp/shim/during-copy", straight = offsets ? "! " + cut : cut;
    const std::string big = "test $(stat -c %s image/0/bin/payload) = 51302400";
    const struct {
        const char *options, *prepare;  // run in the store
        std::string message, after;  // AFTER must succeed afterwards
    } cases[] = {
        {"--two-part", "true", "Image is installed", straight + " && grep -q new.img /tmp/shim/during-copy"},
        {"--two-part", "touch /tmp/shim/no-offsets", "Image is installed", cut},
        {"", "true", "Image is installed", "! " + cut},
        {"--two-part", "cp /tmp/shim/big.img new.img", "Image is installed", big + " && " + straight},
        {"--two-part", "cp /tmp/shim/big.img new.img && touch /tmp/shim/no-offsets", "Image is installed",
            big + " && " + cut},
        {"--two-part", "dd if=/dev/urandom of=new.img bs=1 seek=1179744 count=600 conv=notrunc status=none",
            "could not mount squashfs", "true"},
        {"--two-part --size 3072 --fill zero", "mkdir image && mount -t tmpfs -o size=1m small image",
            "could not copy squashfs", "umount image"},
        {"", "mkdir /tmp/away && ln -s /tmp/away /tmp/image", "could not mount cramfs",
            "test -L /tmp/image && test -z \"$(ls -A /tmp/away)\" && ! mountpoint -q /tmp/away"},
        {"", "touch /tmp/image", "could not mount cramfs", "test -f /tmp/image"},
        {"", "mkdir /tmp/image && mount -t tmpfs stale /tmp/image", "Image is installed", "test -d /tmp/image"},
        {"--two-part", "echo -t cramfs >/tmp/shim/busy", "could not unmount cramfs", "true"},
        {"--two-part", "echo -Rdp >/tmp/shim/busy", "could not unmount squashfs", "true"},
        {"", "mkdir /tmp/image && mount -t tmpfs stale /tmp/image && { (cd /tmp/image && exec sleep 600) </dev/null"
            " >/dev/null 2>&1 & echo $! >/tmp/away; }", "Image is installed", "kill $(cat /tmp/away)"},
        {"", "mkdir -p /tmp/away/etc && '" NIMBREL_SOURCE "'/scripts/make-image --two-part --from /tmp/away new.img",
            "could not copy squashfs", "true"},
        {"", "mkdir -p image/10 image/old image/3 image/.install-4 image/.install-x && touch image/10/Image.info.new"
            " image/old/Image.info.new image/3/Image.info.new", "Image is installed", "test -e image/10/Image.info.new"
            " && test -e image/old/Image.info.new && test -d image/.install-x && test -z \"$(ls -A image/3)\" && !"
            " test -e image/.install-4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options + std::string(", ") + c.prepare);
        shell("cd " + store.root() + " && rm -rf image tools/menu tools/lcdmenu.conf /tmp/image /tmp/away"
            " /tmp/shim/busy /tmp/shim/no-offsets");
        makeImage(store.path("new.img"), c.options);
        ASSERT_EQ(shell("cd " + store.root() + " && " + c.prepare), 0);
        expectOutcome(c.message, std::string(c.options).find("two") != std::string::npos);
        EXPECT_EQ(shell("cd " + store.root() + " && " + c.after), 0);
    }
}

// An image file replaced after its checks (a download finishing, another
// machine writing to a network disk) is never what is installed, and the
// file now standing there is the user's: it stays.
TEST_F(ShimTest, ImageReplacedAfterItsCheckIsNeverInstalled)
{
    for (const char* options : {"", "--two-part"}) {
        SCOPED_TRACE(options);
        shell("cd " + store.root() + " && rm -rf image tools/menu tools/lcdmenu.conf other.img");
        makeImage(store.path("new.img"), options + std::string(" --name checked"));
        shell("cd " + store.root() + " && sha256sum new.img >new.img.sha256");
        makeImage(store.path("other.img"), options + std::string(" --name swapped"));
        writeFile("/tmp/shim/before-mount", "mv " + store.path("other.img") + " " + store.path("new.img") + "\n");
        EXPECT_EQ(installImage(installRequest("new.img", "0")).message, "Image is installed");
        EXPECT_EQ(readFile(store.path("image/0/etc/image-name")), "checked\n");
        EXPECT_TRUE(pathExists(store.path("new.img")));
        EXPECT_EQ(leftovers(store.root()), "");
    }
}

// Bytes behind a cramfs head that are no squashfs reach the cut (mount
// without offset=) only as far as the old cut took them, and only when the
// store has room: whatever the outcome, the disk's free space is as it was.
TEST_F(ShimTest, DamagedPartNeverFillsTheDisk)
{
    const struct {
        const char* disk;
        std::string message;
    } cases[] = {{"40m", "no Space !!!\nMemory < 50000 kB\n"}, {"100m", "could not mount squashfs"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.disk);
        shell("umount /tmp/small 2>/dev/null; rm -rf /tmp/small && mkdir /tmp/small && mount -t tmpfs -o size=" +
            std::string(c.disk) + " small /tmp/small && cp -a " + store.path("tools") + " /tmp/small/");
        makeImage("/tmp/small/new.img", "--two-part");
        // Zeros from the part on, 60 MB of them, taking no room until written.
        shell("cd /tmp/small && truncate -s 1179648 new.img && truncate -s 61179648 new.img && touch /tmp/shim/no-offsets"
              " && echo /tmp/small >/tmp/org");
        mpoint = "/tmp/small";
        std::string before = capture("df --output=avail /tmp/small");
        EXPECT_EQ(installImage(installRequest("new.img", "0")).message, c.message);
        // The failure's line in the action log and the lock's record, a block each.
        shell("rm -f /tmp/small/nimbrel.log /tmp/small/.nimbrel-lock");
        EXPECT_EQ(capture("df --output=avail /tmp/small"), before);
        EXPECT_EQ(leftovers("/tmp/small"), "");
        mpoint = store.root();
        shell("umount /tmp/small && rmdir /tmp/small");
    }
}

// A box's mount before Linux 2.6.25 binds loop devices without auto-clear,
// and they stay bound after umount or a failed mount: each action frees
// those its mounts bound, and never another program's, bound before.
TEST_F(ShimTest, LoopDevicesOurMountsBoundAreFreed)
{
    writeFile("/tmp/shim/mount", "#!/bin/sh\nPATH='" + saved + "'\nif [ \"$3\" = -o ]; then o=$4 f=$5; else o=$6 f=$3; fi\n"
        "case $o in loop) ;; loop,offset=*) [ -e /tmp/shim/no-offsets ] && exit 32 ;; *) exec mount \"$@\" ;; esac\n"
        "off=${o#loop}\ndev=$(losetup -f --show ${off:+-o ${off#,offset=}} \"$f\") || exit 32\n"
        "[ $2 = cramfs ] && ! grep -q cramfs /proc/filesystems && exec mount \"$@\"  # unpacked, the device bound\n"
        "exec mount -t $2 $dev /tmp/image\n", 0755);
    makeImage("/tmp/shim/one.img");
    makeImage("/tmp/shim/two.img", "--two-part");
    shell("cp /tmp/shim/two.img /tmp/shim/bad.img && dd if=/dev/urandom of=/tmp/shim/bad.img bs=1 seek=1179744 "
        "count=600 conv=notrunc status=none");
    // Those bound to a file of this test's own /tmp.
    const char* const ours = "losetup -ln -O NAME,BACK-MAJ:MIN | awk -v d=$(stat -c %Hd:%Ld /tmp) '$2 == d {print $1}'";
    const std::string done = "Image is installed";
    const struct {
        const char* image;
        bool noOffsets, check;
        int cancelAt, times;  // CANCEL_AT: the question of cancelled() answered yes
        std::string outcome;
    } kinds[] = {{"one", false, false, 0, 7, done}, {"two", false, false, 0, 7, done}, {"two", true, false, 0, 6, done},
        {"two", false, false, 2, 5, "installation cancelled"}, {"bad", false, false, 0, 5, "could not mount squashfs"},
        {"two", false, true, 0, 10, "the checks passed"}};
    for (const auto& k : kinds)
        for (int run = 0; run < k.times; ++run) {
            SCOPED_TRACE(k.outcome + " " + k.image + (k.noOffsets ? " cut" : ""));
            shell("cd " + store.root() + " && rm -rf image tools/menu tools/lcdmenu.conf new.img && cp /tmp/shim/" +
                k.image + ".img new.img && " + (k.noOffsets ? "touch" : "rm -f") + " /tmp/shim/no-offsets");
            std::string other = capture("losetup -f --show " + store.path("new.img"));
            InstallRequest request = installRequest("new.img", "0");
            request.checkOnly = k.check;
            int asked = 0;
            request.cancelled = [&] { return ++asked == k.cancelAt; };
            EXPECT_EQ(installImage(request).message, k.outcome);
            std::string left;  // one that another test's look holds goes at its close
            for (int tries = 0; tries < 20 && (left = capture(ours)) != other; ++tries)
                usleep(100000);
            EXPECT_EQ(left, other);
            shell(std::string("for dev in $(") + ours + "); do losetup -d $dev; done");  // a failure's too
        }
}

// Odd entries of the store against each action, each given a minute: a
// user's squashfs.img (a file, a link to a file outside the store, a
// two-part image itself) with the offset mount and with the cut, a pipe at
// each file read, a read-only tools/, a menu.org that is a pipe, a
// directory, a device link or lacks its last line end. Nothing outside the
// store changes, no file of the user's goes, each boot menu entry starts
// the slot its item names or none, a stopped rename's Image.info.new goes
// with each change, and an erase that cannot cut the boot menu to its head,
// killed at each step, leaves the slot installed and whole.
TEST_F(ShimTest, OddStoreEntriesNeitherHangNorLoseNorMisstart)
{
    makeImage(store.path("old.img"), "--name old");
    ASSERT_EQ(installImage(installRequest("old.img", "5")).kind, Outcome::Done);
    makeImage(store.path("new.img"), "--two-part");
    shell("cd /tmp && rm store/old.img && touch store/image/5/Image.info.new && rm -rf template outside && mkdir "
        "outside && head -c 9000 /dev/urandom >outside/user.img && cp -a store template");
    auto reset = [&](const std::string& prepare) {
        shell("cd /tmp && { umount store/tools 2>/dev/null; rm -rf store && cp -a template store; }");
        ASSERT_EQ(shell("cd /tmp/store && " + prepare), 0);
    };
    reset("true");
    ASSERT_EQ(installImage(installRequest("new.img", "0")).kind, Outcome::Done);
    const std::vector<std::string> trees = {slotTree(store.path("image/0")), slotTree("/tmp/template/image/5")};
    const char* const go = "tools/go";
    const std::string done = "Image is installed", erased = "[Info] Erase Image complete",
                      noMenu = "[ERROR] could not write boot menu", readOnly = "image store is read-only", noTools = "no boot tools in " + store.path("tools");
    const struct {
        std::string prepare, file, install, erase;  // install and erase: their boxes
        const char* kept;  // a file of the user's in the store
    } cases[] = {{"head -c 70000 /dev/urandom >squashfs.img", "new.img", done, erased, "squashfs.img"},
        {"ln -s /tmp/outside/user.img squashfs.img", "new.img", done, erased, "squashfs.img"},
        {"mv new.img squashfs.img && cp squashfs.img new.img", "squashfs.img", done, erased, "new.img"},
        {"mkdir image/3 && rm -f /tmp/du.temp && mkfifo image/3/Image.info /tmp/du.temp", "new.img", done, erased, go},
        {"rm tools/lcdmenu.conf && mkfifo tools/lcdmenu.conf", "new.img", done, erased, go},
        {"mount --bind tools tools && mount -o remount,ro,bind tools", "new.img", readOnly, "[Error] " + readOnly, go},
        {"rm tools/menu.org && mkfifo tools/menu.org", "new.img", noTools, noMenu, go},
        {"rm tools/menu.org && mkdir tools/menu.org", "new.img", noTools, noMenu, go},
        {"ln -sf /dev/zero tools/menu.org", "new.img", noTools, noMenu, go},
        {"printf '#!/bin/sh\\nRC=$1\\nmpoint=/hdd' >tools/menu.org", "new.img", done, erased, go}};
    const std::string hung = " timeout -s KILL 60", undo = "cd /tmp/store && umount tools 2>/dev/null; [ -f "
        "tools/menu.org ] || { rm -rf tools/menu.org && cp /tmp/template/tools/menu.org tools; }";
    const char* const keys[] = {"down ok down ok text:New ok green ok exit", "down down ok green ok exit",
        "down down down down ok down ok exit", "down down down ok green exit"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        for (int action = 0; action < 6; ++action) {  // install with offsets, with the cut; then each of KEYS
            if (!sampled(static_cast<int>(i) + action))
                continue;
            SCOPED_TRACE(c.prepare + ", action " + std::to_string(action));
            reset(c.prepare);
            std::string outside = fingerprint({"/tmp/outside"}, {}), kept = fingerprint({store.path(c.kept)}, {});
            shell(action == 1 ? "touch /tmp/shim/no-offsets" : "rm -f /tmp/shim/no-offsets");
            alarm(60);  // a hang ends the test
            Outcome outcome = action < 2 ? installImage(installRequest(c.file, "0")) : Outcome::done("");
            alarm(0);
            std::string out = action < 2 ? outcome.message : runHost(store.root(), keys[action - 2], hung);
            EXPECT_THAT(out, HasSubstr(action < 2 ? c.install : action == 3 ? c.erase : "exit=0"));
            EXPECT_EQ(fingerprint({"/tmp/outside"}, {}) + fingerprint({store.path(c.kept)}, {}), outside + kept);
            shell(undo);
            EXPECT_EQ(action == 5 ? "" : storeFaults(store.root(), trees), "");
            // No "Error" or "ERROR" box: the action changed the store.
            bool changed = action < 2 ? outcome.kind == Outcome::Done : out.find("[E") == std::string::npos;
            EXPECT_FALSE(action < 5 && changed && pathExists(store.path("image/5/Image.info.new"))) << out;
        }
        for (int step = 1; c.erase != erased && step < 20; step += stepStride()) {
            SCOPED_TRACE(c.prepare + ", erase killed at step " + std::to_string(step));
            reset(c.prepare);
            std::string out = runHost(store.root(), keys[1], preloadShim("NIMBREL_CRASH_AT=" + std::to_string(step)) +
                hung);
            shell(undo);
            EXPECT_EQ(probeSlot(5), SlotState::Installed);
            EXPECT_EQ(storeFaults(store.root(), trees), "");
            if (out.find("exit=0") != std::string::npos)
                break;
        }
    }
}

// Refused before anything is written ("Error"), or failed in the squashfs
// mount that judges what is no known squashfs ("ERROR"): the store stays as
// it was, the image file in it, and the whole image installs afterwards.
TEST_F(ShimTest, WhatCannotInstallIsRefusedOrFailsWithTheStoreKept)
{
    const std::string none = "Error not an image file", cutOff = "Error image file is incomplete",
                      mount = "ERROR could not mount squashfs", tools = "Error no boot tools in " + store.path("tools");
    const char* const sixty = "cp new.img x.img && truncate -s $(($(stat -c %s x.img) * 6 / 10)) x.img";
    // Another magic where the squashfs part begins, such as the LZMA-patched squashfs's of older boxes.
    auto magic = [](const std::string& bytes) {
        return "cp new.img x.img && printf " + bytes + " | dd of=x.img bs=1 seek=1179648 conv=notrunc status=none";
    };
    const struct {
        const char* options;
        std::string prepare, outcome, undo;  // PREPARE and UNDO run in the store; OUTCOME: title and message
    } cases[] = {
        {"", "head -c 3000000 /dev/urandom >x.img", none, ""}, {"", "head -c 8192 /dev/zero >x.img", none, ""},
        {"", "mkfifo x.img", none, ""}, {"", "mkdir x.img", none, ""}, {"", "ln -s /dev/zero x.img", none, ""},
        {"--two-part", sixty, cutOff, ""}, {"", sixty, cutOff, ""},
        {"--two-part", "head -c 1179648 new.img >x.img", cutOff, ""},  // the head alone
        {"--two-part", "head -c 1179700 new.img >x.img", cutOff, ""},  // a squashfs superblock cut off
        {"--two-part", "cp new.img x.img && dd if=/dev/urandom of=x.img bs=512 seek=2304 count=64 conv=notrunc"
            " status=none", mount, ""},
        {"--two-part", magic("shsq"), mount, ""}, {"--two-part", magic("qshs"), mount, ""},
        {"", "rm -rf /tmp/away && mkdir -p /tmp/away/etc && head -c 2000000 /dev/urandom >/tmp/away/etc/blob && '"
            NIMBREL_SOURCE "'/scripts/make-image --from /tmp/away x.img", mount, ""},  // whole, over 1179648, no bin
        {"", "cp new.img x.img && mount --bind \"$PWD\" \"$PWD\" && mount -o remount,ro,bind \"$PWD\"",
            "Error image store is read-only", "umount -l \"$PWD\""},
        {"", "cp new.img x.img && mv tools/go /tmp/go", tools, "mv /tmp/go tools"},
        {"", "cp new.img x.img && mv tools /tmp/tools", tools, "mv /tmp/tools ."},  // a disk not mounted there
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prepare);
        shell("cd " + store.root() + " && rm -rf image tools/menu tools/lcdmenu.conf x.img");
        makeImage(store.path("new.img"), c.options + std::string(" --size 2048"));
        ASSERT_EQ(shell("cd " + store.root() + " && " + c.prepare), 0);
        std::string before = fingerprint({store.root()}, {});
        Outcome outcome = installImage(installRequest("x.img", "0"));
        EXPECT_EQ(outcome.title() + " " + outcome.message, c.outcome);
        EXPECT_EQ(changedLines(before, fingerprint({store.root()}, {})), "");
        EXPECT_FALSE(isMountPoint("/tmp/image"));
        shell("cd " + store.root() + " && " + (c.undo.empty() ? "true" : c.undo));
        EXPECT_EQ(installImage(installRequest("new.img", "0")).message, "Image is installed");
    }
}

// Checksum files beside x.img, as md5sum and sha256sum write them: a
// matching image installs; a changed byte in its squashfs part, or a
// checksum file that gives no digest for it, is refused changing nothing.
// The checksum files stay, but x.img.md5 and x.img.sha256 go with x.img.
TEST_F(ShimTest, ChecksumFilesBesideTheImageAreCheckedFirst)
{
    const std::string done = "Info Image is installed", damaged = "Error image file is damaged",
                      unreadable = "Error checksum file unreadable",
                      changed = " && printf x | dd of=x.img bs=1 seek=1180000 conv=notrunc status=none";
    const std::pair<std::string, std::string> cases[] = {{"true", done}, {"md5sum -b x.img >x.img.md5", done},
        {"sha256sum <x.img | cut -c1-64 | tr a-f A-F >x.sha256", done},
        {"md5sum --tag x.img >x.md5 && sha256sum x.img >x.img.sha256", done},
        {"{ md5sum tools/go | sed 's|tools/go|y.img|'; md5sum x.img; } >x.md5", done},
        {"md5sum x.img >x.md5" + changed, damaged}, {"sha256sum --tag x.img >x.img.sha256" + changed, damaged},
        {"md5sum x.img >x.md5 && sha256sum tools/go | sed 's|tools/go|x.img|' >x.sha256", damaged},
        {": >x.img.md5", unreadable}, {"md5sum tools/go >x.md5", unreadable},
        {"sha256sum --tag x.img >x.md5", unreadable}, {"mkdir x.img.sha256", unreadable},
        {"mkfifo x.md5", unreadable}, {"ln -s nowhere x.md5", unreadable},
        {"yes \"$(md5sum x.img)\" | head -c 70000 >x.md5", unreadable}};
    makeImage(store.path("new.img"), "--two-part");
    for (const auto& [prepare, outcome] : cases) {
        SCOPED_TRACE(prepare);
        shell("cd " + store.root() + " && rm -rf image tools/menu tools/lcdmenu.conf x.*");
        ASSERT_EQ(shell("cd " + store.root() + " && cp new.img x.img && " + prepare), 0);
        const std::vector<std::string> changing = {store.path("x.img"), store.path("image"), store.path("tools"),
            store.path("x.img.md5"), store.path("x.img.sha256")};
        std::string whole = fingerprint({store.root()}, {}), kept = fingerprint({store.root()}, changing);
        Outcome out = installImage(installRequest("x.img", "0"));
        EXPECT_EQ(out.title() + " " + out.message, outcome);
        EXPECT_EQ(fingerprint({store.root()}, changing), kept);
        bool installed = out.kind == Outcome::Done;
        EXPECT_EQ(installed ? "" : changedLines(whole, fingerprint({store.root()}, {})), "");
        EXPECT_EQ(probeSlot(0), installed ? SlotState::Installed : SlotState::Free);
        EXPECT_FALSE(installed && (pathExists(store.path("x.img.md5")) || pathExists(store.path("x.img.sha256"))));
    }
}

// A slow read of the image shows the check's rising share and, once it can
// tell, the time left; then the installation's own texts. The check reads
// the image under the installation's own name for it.
TEST_F(ShimTest, ChecksumCheckShowsItsProgress)
{
    makeImage(store.path("x.img"), "--two-part --size 12000");
    shell("cd " + store.root() + " && sha256sum x.img >x.img.sha256");
    std::istringstream lines(runHost(store.root(), "ok green ok exit", preloadShim("NIMBREL_SLOW=.checked-0")));
    std::vector<int> shares;
    std::string timeLeft, after;
    for (std::string line; std::getline(lines, line);) {
        int share;
        char left[16] = "";
        if (after.empty() && std::sscanf(line.c_str(), "please wait !!! checking image %d %% (%15[0-9:] left", &share,
                                 left) >= 1)
            shares.push_back(share), timeLeft += left;
        else if (!shares.empty())
            after += line + "\n";
    }
    EXPECT_GE(std::set<int>(shares.begin(), shares.end()).size(), 3u);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_THAT(timeLeft, ::testing::MatchesRegex("([0-9]+:[0-5][0-9])+"));
    EXPECT_THAT(after, ::testing::MatchesRegex("please wait !!!\n(.*\n)*\\[Info\\] Image is installed\n(.*\n)*"));
}

TEST_F(ShimTest, SpaceAndInodesCheckedBeforeTheSlotIsWritten)
{
    // 24 MB: 1 kB blocks, half of them kept for root, 6144 inodes. Free
    // space for users and free blocks differ there, unlike on tmpfs.
    const char *ext2 = "mkfs.ext2 -q -m 50", *space = "no Space !!!\nMemory < 8[1-3][0-9][0-9] kB\nError129";
    const struct {
        const char *mkfs, *options, *tree;  // TREE: run in make-image's tree, the image made from it
        bool noOffsets;
        const char* outcome;  // message, title and flags
    } cases[] = {
        {ext2, "--size 8192", nullptr, false, space},  // 8 MB of random content: fits only the blocks kept
        {ext2, "--two-part --size 8192", nullptr, false, space},
        {ext2, "--two-part --size 8192", nullptr, true, space},
        {"mkfs.ext4 -q -N 2048", "--two-part", "seq -f %0200g 3000 | xargs touch", false,
            "no Space !!!\nFiles < 30[0-9][0-9] \\([0-9]+ free\\)\nError129"},  // blocks enough, too few inodes
        {ext2, "--two-part", "mkdir small && cd small && for i in $(seq 3000); do echo $i >$i; done", false,
            "Image is installedInfo1"},  // fits in 1 kB blocks, not counted in 4 kB ones
        // The box's cp writes the holes out.
        {ext2, "--two-part", "truncate -s 64M sparse", false, "no Space !!!\nMemory < 65[0-9][0-9][0-9] kB\nError129"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options + std::string(" ") + (c.tree ? c.tree : "") + (c.noOffsets ? " without offsets" : ""));
        LoopDisk disk{"disk", "24M", c.mkfs};
        TestStore small{"disk/store"};
        shell("rm -rf /tmp/tree");
        makeTree("/tmp/tree");
        ASSERT_EQ(shell(std::string("cd /tmp/tree && ") + (c.tree ? c.tree : "true")), 0);
        makeImage(small.path("new.img"), c.options + std::string(c.tree ? " --from /tmp/tree" : ""));
        shell(c.noOffsets ? "touch /tmp/shim/no-offsets" : "rm -f /tmp/shim/no-offsets");
        std::string before = fingerprint({small.root()}, {});
        Outcome outcome = installImage(installRequest("new.img", "0"));
        EXPECT_THAT((outcome.message + outcome.title() + std::to_string(outcome.boxFlags())).c_str(),
            ::testing::MatchesRegex(c.outcome));
        bool refused = outcome.kind == Outcome::Refused;
        EXPECT_EQ(refused ? changedLines(before, fingerprint({small.root()}, {})) : leftovers(small.root()), "");
        EXPECT_EQ(probeSlot(0), refused ? SlotState::Free : SlotState::Installed);
        EXPECT_FALSE(isMountPoint("/tmp/image"));
    }
    shell("rm -rf /tmp/tree");
}

} // namespace
