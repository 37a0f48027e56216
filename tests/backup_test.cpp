#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "install/checksumfile.h"
#include "install/slotpath.h"
#include "manage/backup.h"
#include "store/context.h"
#include "store/shell.h"
#include "tests/images.h"
#include "tests/support.h"

namespace {

class BackupTest : public ::testing::Test {
protected:
    BackupTest() { useCramfsStandIn(); }
    ~BackupTest() override { shell("umount /tmp/small 2>/dev/null; rm -rf /tmp/small /tmp/tools /tmp/x.img* /tmp/image"); }

    BackupResult backup(int slot, const std::string& file = "", bool force = false)
    {
        BackupRequest request;
        request.slot = slot;
        request.file = file;
        request.force = force;
        return backupSlot(request);
    }

    TestStore store;
};

// Installed, changed since, backed up into the store and installed into
// another slot: the same tree; its checksum files pass. Links out of the
// slot where installation and backup adapt it (from the image, made later)
// and odd entries change nothing outside; rcS is patched and restored
// where the booted image finds it (PATCHED: rcS_org beside it).
TEST_F(BackupTest, InstallsBackToTheSameSlotChangingNothingOutside)
{
    writeFlashSettings();
    makeTree("/tmp/outside");
    shell("cd /tmp/outside && cp etc/init.d/rcS etc/init.d/rcS_org && echo go >go && echo name=Saved >Image.info");
    const struct {
        const char *options, *image, *slot;  // IMAGE runs in the image's tree, SLOT in the installed slot
        bool settings, patched;
    } cases[] = {{"", "", "", false, true}, {"", "", "", true, true}, {"--two-part", "", "", false, true},
        {"--two-part", "", "", true, true}, {"", "rm -r etc && ln -s /tmp/outside/etc", "", true, false},
        {"", "rm -r etc && ln -s ../../../../../../tmp/outside/etc", "", true, false},
        {"", "rm -r etc/init.d && ln -s /tmp/outside/etc/init.d etc", "", true, false},
        {"", "rm -r var && ln -s /tmp/outside/var", "", true, true},
        {"", "rm -r var_init && ln -s /tmp/outside/var_init", "", true, true},
        {"", "ln -sf /tmp/outside/etc/init.d/rcS etc/init.d", "", true, false},
        {"", "ln -s /tmp/outside/etc/init.d/rcS_org etc/init.d", "", true, true},
        {"", "ln -s /tmp/outside/go && ln -s /tmp/outside/Image.info", "", true, true},
        {"", "mkdir -p tmp/outside && mv etc tmp/outside && ln -s /tmp/outside/etc", "", true, true},
        {"", "rm -r var_init/tuxbox && ln -s /tmp/outside/var_init/tuxbox var_init", "", true, true},
        {"", "rm var_init/tmp/init && ln -s /tmp/outside/var_init/tmp/init var_init/tmp", "", true, true},
        {"", "", "rm -r etc/init.d && ln -s /tmp/outside/etc/init.d etc", false, true},
        {"", "", "rm -r etc && ln -s /tmp/outside/etc && ln -sf /tmp/outside/Image.info", false, true},
        {"", "", "mv var var.1 && ln -s /tmp/outside/var", false, true},
        {"", "", "mkfifo fifo etc/init.d/rcS_org.1 && mknod null c 1 3", false, true}};
    for (const auto& [options, image, slot, settings, patched] : cases) {
        SCOPED_TRACE(options + std::string(settings ? " with settings " : " ") + image + slot);
        std::string outside = fingerprint({"/tmp/outside"}, {});
        shell("cd " + store.root() + " && rm -rf image *.img* /tmp/tree");
        makeTree("/tmp/tree");
        ASSERT_EQ(shell(std::string("cd /tmp/tree && true ") + (*image ? "&& " : "") + image), 0);
        makeImage(store.path("new.img"), options + std::string(" --from /tmp/tree"));
        InstallRequest request = installRequest("new.img", "0", "Saved");
        request.copySettings = settings;
        ASSERT_EQ(installImage(request).kind, Outcome::Done);
        EXPECT_EQ(isRegularFile(pathInSlot(store.path("image/0"), "etc/init.d/rcS_org", LastLink::Follow)), patched);
        ASSERT_EQ(shell("cd " + store.path("image/0") + " && echo later >var/later && ln -s /etc/passwd var/outside " +
            (*slot ? "&& " : "") + slot), 0);
        BackupResult result = backup(0);
        ASSERT_EQ(result.outcome.message, "backed up slot 0 (Saved) to " + result.file);
        std::string name = result.file.substr(store.root().size() + 1);
        EXPECT_THAT(name, ::testing::MatchesRegex("Saved-[0-9]{8}-[0-9]{4}\\.img"));
        ASSERT_EQ(expectedDigests(store.root(), name)->size(), 2u);
        request.file = name;
        request.slot = "1";
        ASSERT_EQ(installImage(request).message, "Image is installed");
        EXPECT_EQ(slotTree(store.path("image/1")), slotTree(store.path("image/0")));
        EXPECT_EQ(readFile(store.path("image/1/Image.info")), "name=Saved\n");
        EXPECT_EQ(leftovers(store.root()) + changedLines(outside, fingerprint({"/tmp/outside"}, {})), "");
    }
}

// Refused before anything is written, wherever the file was to go; a
// mount in the slot, which hard links cannot reach across, is named.
TEST_F(BackupTest, RefusalsWriteNothing)
{
    makeImage(store.path("new.img"), "--size 3000");
    ASSERT_EQ(installImage(installRequest("new.img", "0")).kind, Outcome::Done);
    store.addCorruptedSlot(6);
    std::string tools = "mkdir /tmp/tools && for tool in sh cp mkfs.cramfs; do ln -s $(command -v $tool) /tmp/tools;"
                        " done";
    const std::string slot0 = store.path("image/0"), in0 = "a backup never goes into a slot: ";
    const struct {
        int slot;
        std::string prepare, file, message, detail = "";  // PREPARE runs in /tmp
    } cases[] = {{5, "true", "", "slot 5 is free"}, {6, "true", "", "slot 6 is corrupted"},
        {0, "echo mine >x.img", "/tmp/x.img", "file exists: /tmp/x.img"},
        {0, "echo mine >x.img.sha256", "/tmp/x.img", "file exists: /tmp/x.img.sha256"},
        {0, "true", "/tmp/none/x.img", "no directory /tmp/none"},
        {0, "true", "/tmp/" + std::string(296, 'x') + ".img", "file name too long: 300 characters, at most 248 here"},
        {0, "true", slot0 + "/x.img", in0 + slot0 + "/x.img (slot 0)"},
        {0, "ln -s " + slot0 + "/etc x", "/tmp/x/../x.img", in0 + "/tmp/x/../x.img (slot 0)"},
        {0, "true", store.path("image/7"), in0 + store.path("image/7") + " (slot 7)"},
        {0, "mkdir small && mount -t tmpfs -o size=2m small small", "/tmp/small/x.img", "no Space !!!\nMemory < 4",
            "kB free in /tmp/small"},
        {0, tools, "", "backup needs mksquashfs (package squashfs-tools)"},
        {0, "mkdir " + slot0 + "/mnt && mount -t tmpfs none " + slot0 + "/mnt", "/tmp/x.img",
            "could not read slot: mount point " + slot0 + "/mnt in it"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prepare + " " + c.file);
        ASSERT_EQ(shell("cd /tmp && " + c.prepare), 0);
        std::string before = fingerprint({"/tmp"}, {"/tmp/image"});
        std::string path = getenv("PATH");
        if (c.prepare == tools)
            setenv("PATH", "/tmp/tools", 1);
        Outcome outcome = backup(c.slot, c.file).outcome;
        setenv("PATH", path.c_str(), 1);
        EXPECT_THAT(outcome.message, ::testing::StartsWith(c.message));
        EXPECT_THAT(outcome.detail, ::testing::HasSubstr(c.detail));
        EXPECT_EQ(outcome.kind, c.message.find("could not") ? Outcome::Refused : Outcome::Failed);
        EXPECT_EQ(changedLines(before, fingerprint({"/tmp"}, {"/tmp/image"})), "");
        shell("cd /tmp && { umount small " + slot0 + "/mnt 2>/dev/null; rm -rf small tools x x.img*; }");
    }
    shell("echo mine >/tmp/x.img.md5");
    EXPECT_EQ(backup(0, "/tmp/x.img", true).outcome.kind, Outcome::Done);
    EXPECT_EQ(capture("cd /tmp && md5sum -c x.img.md5 && sha256sum -c x.img.sha256"), "x.img: OK\nx.img: OK\n");
}

// nimbrel backup stopped while it packs: Ctrl-C removes what it wrote; a
// kill leaves no file under the final name, and the next backup is whole.
TEST_F(BackupTest, StoppedBackupLeavesNoHalfFile)
{
    makeImage(store.path("new.img"), "--size 3000");
    ASSERT_EQ(installImage(installRequest("new.img", "0")).kind, Outcome::Done);
    // Packing holds until it is stopped: a fixed 2 s ran out under an emulated CPU on a busy machine.
    writeFile("/tmp/tools/mksquashfs", "#!/bin/sh\ntouch /tmp/packing\nsleep 60\nexec /usr/bin/mksquashfs \"$@\"\n", 0755);
    std::string run = "rm -f /tmp/packing; PATH=/tmp/tools:$PATH setsid " + shellQuote(NIMBREL_BUILD "/nimbrel") +
        " --store " + store.root() + " backup 0 /tmp/x.img & pid=$!; for i in $(seq 400); do [ -e /tmp/packing ] && "
        "break; sleep 0.05; done; sleep 0.3; ";
    EXPECT_EQ(capture(run + "kill -INT -$pid; wait $pid; echo $?; ls -A /tmp | grep -c x.img"), "1\n0\n");
    EXPECT_EQ(capture(run + "kill -KILL -$pid; wait $pid; echo $?; ls /tmp/x.img*"), "137\n");
    EXPECT_EQ(backup(0, "/tmp/x.img").outcome.kind, Outcome::Done);
    EXPECT_EQ(capture("cd /tmp && sha256sum -c x.img.sha256 && ls -A . " + store.root() + " | grep -c backup"),
        "x.img: OK\n0\n");
}

} // namespace
