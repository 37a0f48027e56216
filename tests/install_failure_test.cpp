#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "install/procedure.h"
#include "plugin/globals.h"
#include "store/slots.h"
#include "tests/images.h"
#include "tests/support.h"

namespace {

class FailureTest : public ::testing::Test {
protected:
    FailureTest() { useCramfsStandIn(); }

    // Installs new.img into slot 0. A failure must leave its message, the
    // image file as it was, the slot free, no boot menu, nothing left over.
    void expectOutcome(const std::string& message)
    {
        std::string before = fingerprint({store.path("new.img")}, {});
        Outcome outcome = installImage(installRequest("new.img", "0"));
        releaseBusyMount();
        bool done = outcome.kind == Outcome::Done;
        EXPECT_EQ(outcome.message, message);
        EXPECT_EQ(outcome.title(), done ? "Info" : "ERROR");
        EXPECT_EQ(fingerprint({store.path("new.img")}, {}), before);
        EXPECT_EQ(probeSlot(0), done ? SlotState::Installed : SlotState::Free);
        EXPECT_EQ(pathExists(store.path("tools/menu")), done);
        EXPECT_EQ(leftovers(store.root()), "");
    }

    // Puts a TOOL first in PATH that runs the real one and then, when its
    // arguments contain TRIGGER, leaves a process working in /tmp/image
    // behind, so that the mount there is busy.
    void busyAfter(const std::string& tool, const std::string& trigger)
    {
        writeFile("/tmp/shim/" + tool,
            "#!/bin/sh\nPATH='" + std::string(std::getenv("PATH")) + "' " + tool + " \"$@\"\nstatus=$?\n"
            "case \"$*\" in *'" + trigger + "'*)\n"
            "    cd /tmp/image && { sleep 600 </dev/null >/dev/null 2>&1 & echo $! >>/tmp/holder.pid; } ;;\n"
            "esac\nexit $status\n",
            0755);
        prependPath("/tmp/shim");
    }

    void releaseBusyMount()
    {
        if (!pathExists("/tmp/holder.pid"))
            return;
        EXPECT_TRUE(isMountPoint("/tmp/image"));
        shell("kill -KILL $(cat /tmp/holder.pid); rm -rf /tmp/shim /tmp/holder.pid");
        for (int tries = 0; tries < 100 && shell("umount /tmp/image 2>/dev/null") != 0; ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    TestStore store;
};

TEST_F(FailureTest, FailedStepLeavesTheSlotFreeAndTheImageFile)
{
    struct Case {
        const char* title;
        const char* options;
        const char* prepare;  // run in the store
        const char* message;
        const char* after;  // must succeed afterwards
    };
    const char* const small = "mkdir image && mount -t tmpfs -o size=1m small image";
    const Case cases[] = {
        {"no cramfs", "", "head -c 8192 /dev/zero > new.img", "could not mount cramfs", "true"},
        {"a squashfs part of garbage", "--two-part",
            "dd if=/dev/urandom of=new.img bs=512 seek=2304 count=64 conv=notrunc status=none",
            "could not mount squashfs", "true"},
        {"no go, single-part", "", "rm tools/go", "could not copy go", "true"},
        {"no go, two-part", "--two-part", "rm tools/go", "could not copy go", "true"},
        {"too little room, single-part", "--size 3072 --fill zero", small, "could not copy squashfs", "umount image"},
        {"too little room, two-part", "--two-part --size 3072 --fill zero", small, "could not copy squashfs",
            "umount image"},
        {"/tmp/image a link", "", "mkdir /tmp/away && ln -s /tmp/away /tmp/image", "could not mount cramfs",
            "test -L /tmp/image && test -z \"$(ls -A /tmp/away)\" && ! mountpoint -q /tmp/away"},
        {"/tmp/image a file", "", "touch /tmp/image", "could not mount cramfs", "test -f /tmp/image"},
        {"a mount left on /tmp/image", "", "mkdir /tmp/image && mount -t tmpfs stale /tmp/image",
            "Image is installed", "test -d /tmp/image"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        shell("cd " + store.root() + " && rm -rf image tools/menu tools/lcdmenu.conf /tmp/image /tmp/away");
        writeFile(store.path("tools/go"), "#!/bin/sh\n", 0755);
        makeImage(store.path("new.img"), c.options);
        ASSERT_EQ(shell("cd " + store.root() + " && " + c.prepare), 0);

        expectOutcome(c.message);

        EXPECT_EQ(shell(std::string("cd ") + store.root() + " && " + c.after), 0);
    }
}

TEST_F(FailureTest, UnmountOfABusyMount)
{
    struct Case {
        const char* options;
        const char* tool;
        const char* trigger;
        const char* message;
    };
    const Case cases[] = {
        {"--two-part", "mount", "-t cramfs", "could not unmount cramfs"},
        {"", "cp", "-Rd", "could not unmount squashfs"},
        {"--two-part", "cp", "-Rd", "could not unmount squashfs"},
    };
    std::string path = std::getenv("PATH");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " " + c.options);
        makeImage(store.path("new.img"), c.options);
        busyAfter(c.tool, c.trigger);
        expectOutcome(c.message);
        setenv("PATH", path.c_str(), 1);
    }
}

TEST_F(FailureTest, ImageNamedLikeTheCutIsKept)
{
    // A two-part one would be cut over itself; a single-part one installs.
    for (const char* options : {"--two-part", ""}) {
        SCOPED_TRACE(options);
        makeImage(store.path("squashfs.img"), options);
        std::string before = fingerprint({store.path("squashfs.img")}, {});

        Outcome outcome = installImage(installRequest("squashfs.img", "0"));

        EXPECT_EQ(outcome.message, *options ? "could not cut squashfs" : "Image is installed");
        EXPECT_EQ(fingerprint({store.path("squashfs.img")}, {}), before);
        EXPECT_EQ(probeSlot(0), *options ? SlotState::Free : SlotState::Installed);
        EXPECT_FALSE(isMountPoint("/tmp/image"));
    }
}

} // namespace
