#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "install/procedure.h"
#include "plugin/globals.h"
#include "store/slots.h"
#include "tests/images.h"
#include "tests/support.h"

namespace {

// A start script with lines of two mounts of one form, as installed.
const char imageRcS[] = "#!/bin/sh\n/bin/mount -t jffs2 /dev/a /a; /bin/mount -t jffs2 /dev/b /b\n"
                        "mount -t jffs2 /dev/c /c; mount -t jffs2 /dev/d /d\nmount -t proc proc /proc\necho jffs2\n";
const char patchedRcS[] = "#!/bin/sh\n# /dev/a /a; # /dev/b /b\n# /dev/c /c; # /dev/d /d\nmount -t proc proc /proc\n"
                          "echo jffs2\n";

// Installs into a store whose mount point, like its image files' names,
// would run a reboot if it were ever taken as a command.
class InstallTest : public ::testing::Test {
protected:
    InstallTest()
    {
        useCramfsStandIn();
        writeFile("/tmp/fake-reboot/reboot", "#!/bin/sh\ntouch /tmp/rebooted\n", 0755);
        prependPath("/tmp/fake-reboot");
        EXPECT_EQ(chdir("/tmp"), 0);
    }
    ~InstallTest() override
    {
        EXPECT_EQ(capture("ls /tmp/rebooted /tmp/pwned.img 2>/dev/null"), "");
        shell("rm -rf /tmp/fake-reboot /tmp/tree /tmp/image /var/tmp/init /var/tuxbox/config");
    }

    // Makes image FILE with OPTIONS from make-image's tree with this start
    // script, a settings file of the image's own and CHANGES run in it.
    void image(const std::string& options, const std::string& changes = "true", const std::string& file = "new.img")
    {
        shell("rm -rf /tmp/tree '" + store.path("image") + "'");
        makeTree("/tmp/tree");
        writeFile("/tmp/tree/etc/init.d/rcS", imageRcS, 0644);
        writeFile("/tmp/tree/var_init/tuxbox/config/enigma/own", "image settings\n");
        ASSERT_EQ(shell("cd /tmp/tree && " + changes), 0);
        makeImage(store.path(file), options + " --from /tmp/tree");
        // A cut left by a stopped run goes with the next success.
        writeFile(store.path("squashfs.img"), "left by a stopped run\n");
    }

    TestStore store{"st $(reboot) x;y"};
};

TEST_F(InstallTest, SlotMadeStartableWithItsNameAndTheSettingsAsked)
{
    const struct {
        const char *file, *options, *slot, *name, *flash;  // FLASH: done to the running system's settings
        bool copy;
    } cases[] = {
        {"a b.img", "", "3", "", "true", false},
        {"$(reboot).img", "--two-part", "0", "Sat 1.0", "true", true},
        {"it's.img", "", "1", "", "rm -rf /var/tuxbox/config/enigma", true},
        {"x;touch pwned.img", "--two-part", "2", "", "rm -f /var/tuxbox/config/enigma/*", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + std::string(" ") + c.flash);
        image(c.options, "true", c.file);
        writeFlashSettings();
        shell(c.flash);
        InstallRequest wanted = installRequest(c.file, c.slot, c.name);
        wanted.copySettings = c.copy;
        EXPECT_EQ(installImage(wanted).message, "Image is installed");
        std::string name = *c.name ? c.name : "Image-" + std::string(c.slot);
        std::string conf = c.copy && std::string(c.flash) == "true" ? "flash bouquets\n" + std::string(flashSettings)
                                                                   : "image settings\nimage settings\n";
        // var made from var_init, go in place, the start script patched, the original kept, the running
        // system's settings replacing the image's (never mixed with them) or the image's own kept.
        EXPECT_EQ(capture("cd '" + store.path("image/") + c.slot + "' && ls -d var* var/* var/tmp/* etc/init.d/*"
                          " 2>/dev/null; cmp go ../../tools/go && stat -c %a etc/init.d/rcS && cat Image.info"
                          " etc/init.d/rcS_org etc/init.d/rcS var/tuxbox/config/enigma/*"),
            "etc/init.d/rcS\netc/init.d/rcS_org\nvar\nvar/tmp\nvar/tuxbox\n755\nname=" + name + "\n" + imageRcS +
                patchedRcS + conf);
        EXPECT_THAT(readFile(store.path("tools/lcdmenu.conf")), ::testing::HasSubstr("," + name + ","));
        EXPECT_EQ(storeFaults(store.root(), {slotTree(store.path("image/") + c.slot)}), "");
        EXPECT_EQ(pathExists(store.path(c.file)), !*c.options);
        EXPECT_EQ(leftovers(store.root()), "");
    }
}

// Whatever else an image holds comes into the slot as it is, by either
// mount and any cp, whatever umask the host runs with: set-user-ID,
// set-group-ID and sticky bits (an image's busybox is set-user-ID root for
// su), closed and read-only directories, links wherever they lead, devices,
// pipes, names a command could misread. The boot menu has its own modes.
TEST_F(InstallTest, SlotHoldsTheImagesEntriesAsTheyAre)
{
    const char odd[] = "mkdir -p kept/empty kept/closed kept/open && cd kept && echo s >setuid && chmod 4755 setuid && "
        "echo g >setgid && chmod 2711 setgid && echo p >private && chmod 600 private && : >none && chmod 0 none && "
        "echo x >closed/x && chmod 700 closed && chmod 1777 open && chmod 555 empty && ln -s /etc/passwd absolute && "
        "ln -s ../bin/sh relative && ln -s nowhere dangling && mkfifo pipe && mknod zero c 1 5 && echo d >-d && "
        "echo b >'a b'";
    for (const char* options : {"", "--two-part"}) {
        for (mode_t mask : {077, 000}) {
            SCOPED_TRACE(options + std::string(" umask ") + std::to_string(mask));
            image(options, odd);
            mode_t before = umask(mask);
            EXPECT_EQ(installImage(installRequest("new.img", "4")).message, "Image is installed");
            umask(before);
            EXPECT_EQ(slotTree(store.path("image/4/kept")), slotTree("/tmp/tree/kept"));
            EXPECT_NE(slotTree("/tmp/tree/kept").find("./setuid -rwsr-xr-x"), std::string::npos);
            EXPECT_EQ(capture("cd '" + store.root() + "' && stat -c '%a %n' tools/menu tools/lcdmenu.conf image"),
                "755 tools/menu\n644 tools/lcdmenu.conf\n755 image\n");
        }
    }
}

// Links in an image are taken as the booted image takes them, with the
// slot as its root: no change of the installation leads out of the slot.
TEST_F(InstallTest, LinksInTheImageNeverLeadOutOfTheSlot)
{
    const struct {
        const char *changes, *check;  // run in the image's tree; run in the slot afterwards
        std::string printed;  // by CHECK
        const char* message = "Image is installed";
    } cases[] = {
        {"mkdir flash && mv etc var_init flash/ && ln -s /flash/etc etc && ln -s /flash/var_init var_init",
            "cd flash && cat etc/init.d/rcS_org etc/init.d/rcS var_init/tuxbox/config/enigma/* var_init/tmp/init",
            imageRcS + std::string(patchedRcS) + "flash bouquets\n" + flashSettings},
        {"rm -rf var_init", "cat var/log/messages etc/init.d/rcS", "old var of the image\n" + std::string(patchedRcS)},
        {"ln -s /etc/decoy Image.info && ln -s /etc/init.d/rcS go", "true", ""},
        {"rm -rf etc && ln -s /etc etc", "true", ""},
        {"ln -s /etc etc/init.d/rcS_org && ln -s /etc/decoy etc/init.d/rcS1", "true", ""},
        {"rm etc/init.d/rcS && ln -s /etc/decoy etc/init.d/rcS", "true", ""},
        {"rm etc/init.d/rcS && mkdir dev && mknod dev/zero c 1 5 && ln -s /dev/zero etc/init.d/rcS", "true", ""},
        // Links that loop in the slot leave the settings no place.
        {"rm -rf var var_init && ln -s /var var_init && ln -s /var var", "true", "", "could not copy settings"},
        {"rm -rf var_init/tmp && ln -s /var/tmp var_init/tmp", "true", ""},
        {"rm -rf var_init/tuxbox && ln -s /var/tuxbox var_init/tuxbox", "true", "", "could not copy settings"},
        {"rm -rf var_init && ln -s ../../../../../var var_init", "true", "", "could not copy settings"},
    };
    // A private copy of /etc, so that a fault cannot harm the machine's.
    shell("mkdir /tmp/etc && cp -a /etc/. /tmp/etc && mount --bind /tmp/etc /etc");
    writeFile("/etc/decoy", "a file of the running system\n");
    writeFile("/etc/init.d/rcS", "#!/bin/sh\nmount -t jffs2 /dev/mtdblock/2 /var\n", 0755);
    writeFile("/var/tmp/init", "init of the running system\n");
    writeFlashSettings();
    auto outside = [&] {
        return fingerprint({"/etc", "/var/tmp", "/var/tuxbox", store.root(), "/tmp/org"},
            {store.path("image"), store.path("squashfs.img"), store.path("tools/menu"),
                store.path("tools/lcdmenu.conf")});
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.changes);
        image("", c.changes);
        std::string before = outside();
        InstallRequest wanted = installRequest("new.img", "5");
        wanted.copySettings = true;
        Outcome outcome = installImage(wanted);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(changedLines(before, outside()), "");
        EXPECT_EQ(capture("cd '" + store.path("image/5") + "' && cat Image.info && test -f go && ! test -L go && " +
                          c.check + " 2>/dev/null"), outcome.kind == Outcome::Done ? "name=Image-5\n" + c.printed : "");
    }
    shell("umount /etc; rm -rf /tmp/etc");
}

// A cancel is taken up to the slot's rename and never after it: from that
// instant the slot is installed, and only the success is true.
TEST_F(InstallTest, CancelTakenOnlyUntilTheSlotIsInPlace)
{
    const std::string scratch = store.path("image/.install-3"), slot = store.path("image/3");
    const struct {
        const char* when;
        std::function<bool()> now;  // whether the cancel has come at this poll
        const char* said;
    } cases[] = {{"at the first poll", [] { return true; }, "installation cancelled"},
        {"at the last poll before the rename", [&] { return pathExists(scratch + "/Image.info"); },
            "installation cancelled"},
        {"from the rename on", [&] { return pathExists(slot); }, "Image is installed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        image("--two-part");
        InstallRequest request = installRequest("new.img", "3");
        request.cancelled = c.now;
        Outcome outcome = installImage(request);
        EXPECT_EQ(outcome.message, c.said);
        bool installed = outcome.kind == Outcome::Done;
        EXPECT_EQ(probeSlot(3), installed ? SlotState::Installed : SlotState::Free);
        EXPECT_EQ(pathExists(store.path("new.img")), !installed);  // a two-part file goes with its success only
        EXPECT_FALSE(pathExists(scratch));
        EXPECT_FALSE(pathExists("/tmp/image/bin"));
    }
}

// The bench's breakdown comes from these marks: each step of the run in
// the order it ran, on one clock, none lost or left out.
TEST_F(InstallTest, StepMarksFollowTheRunInOrder)
{
    const std::string trace = "/tmp/steps", copy = "copy unmount adapt details barrier 1 unmount end rename menu barrier 2 "
        "removal configuration barrier 3 barrier 4 log end ";
    for (const char* options : {"", "--two-part"}) {
        SCOPED_TRACE(options);
        image(options);
        unlink(trace.c_str());
        setenv("NIMBREL_STEP_TRACE", trace.c_str(), 1);
        Outcome outcome = installImage(installRequest("new.img", "5"));
        unsetenv("NIMBREL_STEP_TRACE");
        EXPECT_EQ(outcome.message, "Image is installed");
        std::string head = *options ? "head squashfs mount " : "head ";
        EXPECT_EQ(capture("awk '{ $NF = \"\"; printf \"%s\", $0 }' " + trace),
            "lock checks " + head + "measure " + copy);
        EXPECT_EQ(capture("awk '$NF < last { print } { last = $NF }' " + trace), "");
    }
}

} // namespace
