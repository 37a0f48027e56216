#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include "install/procedure.h"
#include "plugin/globals.h"
#include "store/imagename.h"
#include "store/shell.h"
#include "tests/images.h"
#include "tests/support.h"

using ::testing::HasSubstr;

namespace {

// A start script with lines of two mounts of one form, as installed.
const char imageRcS[] =
    "#!/bin/sh\n"
    "/bin/mount -t jffs2 /dev/a /a; /bin/mount -t jffs2 /dev/b /b\n"
    "mount -t jffs2 /dev/c /c; mount -t jffs2 /dev/d /d\n"
    "  /bin/mount -t jffs2 /dev/e /e; mount -t jffs2 /dev/f /f\n"
    "mount -t proc proc /proc\n"
    "echo jffs2\n";
const char patchedRcS[] =
    "#!/bin/sh\n"
    "# /dev/a /a; # /dev/b /b\n"
    "# /dev/c /c; # /dev/d /d\n"
    "  # /dev/e /e; # /dev/f /f\n"
    "mount -t proc proc /proc\n"
    "echo jffs2\n";
const char imageSettings[] = "image settings\n";

class InstallTest : public ::testing::Test {
protected:
    InstallTest()
    {
        useCramfsStandIn();
        writeFlashSettings();
    }

    // Makes new.img with OPTIONS from make-image's tree with this start
    // script, a settings file of the image's own and CHANGES run in it.
    void image(const std::string& options, const std::string& changes = "true") const
    {
        shell("rm -rf /tmp/tree");
        makeTree("/tmp/tree");
        writeFile("/tmp/tree/etc/init.d/rcS", imageRcS, 0644);
        writeFile("/tmp/tree/var_init/tuxbox/config/enigma/own", imageSettings);
        ASSERT_EQ(shell("cd /tmp/tree && " + changes), 0);
        makeImage(store.path("new.img"), options + " --from /tmp/tree");
    }

    std::string inSlot(const std::string& slot, const std::string& path) const
    {
        return store.path("image/" + slot + "/" + path);
    }

    TestStore store;
};

TEST_F(InstallTest, SlotMadeStartableWithItsNameAndTheSettingsAsked)
{
    struct Case {
        const char* title;
        const char* options;
        const char* slot;
        const char* name;
        bool copy;
        const char* flash;  // done to the running system's settings
        bool flashCopied;
    };
    const Case cases[] = {
        {"single-part, default name", "", "3", "", false, "true", false},
        {"two-part, a name with a blank, settings", "--two-part", "0", "Sat 1.0", true, "true", true},
        {"settings asked, none there", "", "1", "", true, "rm -rf /var/tuxbox/config/enigma", false},
        {"settings asked, none in there", "", "2", "", true, "rm -f /var/tuxbox/config/enigma/*", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        shell("rm -rf " + store.path("image"));
        image(c.options);
        writeFlashSettings();
        shell(c.flash);
        InstallRequest wanted = installRequest("new.img", c.slot, c.name);
        wanted.copySettings = c.copy;

        Outcome outcome = installImage(wanted);

        EXPECT_EQ(outcome.message, "Image is installed");
        EXPECT_EQ(readFile(inSlot(c.slot, "Image.info")), "name=" + std::string(imageName(c.slot, c.name)) + "\n");
        EXPECT_EQ(readFile(inSlot(c.slot, "go")), readFile(store.path("tools/go")));
        EXPECT_EQ(readFile(inSlot(c.slot, "bin/sh")), "#!/bin/sh\necho box shell\n");
        EXPECT_EQ(capture("cd " + inSlot(c.slot, "") + " && ls -d var* var/* var/tmp/* etc/init.d/* 2>/dev/null"),
            "etc/init.d/rcS\netc/init.d/rcS_org\nvar\nvar/tmp\nvar/tuxbox\n");
        EXPECT_EQ(readFile(inSlot(c.slot, "etc/init.d/rcS_org")), imageRcS);
        EXPECT_EQ(readFile(inSlot(c.slot, "etc/init.d/rcS")), patchedRcS);
        EXPECT_EQ(fileMode(inSlot(c.slot, "etc/init.d/rcS")), 0755);
        std::string settings = inSlot(c.slot, "var/tuxbox/config/enigma/");
        EXPECT_EQ(readFile(settings + "config"), c.flashCopied ? flashSettings : imageSettings);
        EXPECT_EQ(pathExists(settings + "own"), !c.flashCopied);
        EXPECT_EQ(pathExists(settings + "bouquets"), c.flashCopied);
        EXPECT_EQ(storeFaults(store.root(), {slotTree(store.path("image/") + c.slot)}), "");
        EXPECT_THAT(readFile(store.path("tools/lcdmenu.conf")), HasSubstr(imageName(c.slot, c.name) + ","));
        EXPECT_EQ(pathExists(store.path("new.img")), !*c.options);
        EXPECT_EQ(leftovers(store.root()), "");
    }
}

// Links in an image are taken as the booted image takes them, with the
// slot as its root: no change of the installation leads out of the slot.
TEST_F(InstallTest, LinksInTheImageNeverLeadOutOfTheSlot)
{
    using Files = std::vector<std::pair<const char*, const char*>>;  // content; null: absent
    const struct {
        const char* title;
        const char* changes;  // run in the image's tree
        Files files;  // in the slot afterwards
    } cases[] = {
        {"etc and var_init behind links that resolve only inside the slot",
            "mkdir flash && mv etc var_init flash/ && ln -s /flash/etc etc && ln -s /flash/var_init var_init",
            {{"flash/etc/init.d/rcS", patchedRcS}, {"flash/etc/init.d/rcS_org", imageRcS},
                {"flash/var_init/tmp/init", nullptr}, {"flash/var_init/tuxbox/config/enigma/own", nullptr},
                {"flash/var_init/tuxbox/config/enigma/config", flashSettings}}},
        {"no var_init: the image's var stays", "rm -rf var_init",
            {{"var/log/messages", "old var of the image\n"}, {"etc/init.d/rcS", patchedRcS}}},
        {"Image.info and go name files of /etc", "ln -s /etc/decoy Image.info && ln -s /etc/init.d/rcS go", {}},
        {"go is a directory of the system", "ln -s /etc/init.d go", {}},
        {"etc is /etc", "rm -rf etc && ln -s /etc etc", {}},
        {"init.d is /etc/init.d", "rm -rf etc/init.d && ln -s /etc/init.d etc/init.d", {}},
        {"rcS_org is /etc, rcS1 a file of /etc", "ln -s /etc etc/init.d/rcS_org && ln -s /etc/decoy etc/init.d/rcS1",
            {}},
        {"rcS names a file of /etc", "rm etc/init.d/rcS && ln -s /etc/decoy etc/init.d/rcS", {}},
        {"rcS is a pipe that nobody writes", "rm etc/init.d/rcS && mkfifo etc/init.d/rcS", {}},
        {"rcS leads to an endless device",
            "rm etc/init.d/rcS && mkdir dev && mknod dev/zero c 1 5 && ln -s /dev/zero etc/init.d/rcS", {}},
        {"var_init and var are /var", "rm -rf var var_init && ln -s /var var_init && ln -s /var var", {}},
        {"var_init/tmp is /var/tmp", "rm -rf var_init/tmp && ln -s /var/tmp var_init/tmp", {}},
        {"the settings are the system's",
            "rm -rf var_init/tuxbox/config/enigma && ln -s /var/tuxbox/config/enigma var_init/tuxbox/config/enigma",
            {}},
        {"tuxbox is the system's", "rm -rf var_init/tuxbox && ln -s /var/tuxbox var_init/tuxbox", {}},
        {"the way up leads out", "rm -rf var_init && ln -s ../../../../../var var_init", {}},
    };
    // A private copy of /etc, so that a fault cannot harm the machine's.
    shell("mkdir /tmp/etc && cp -a /etc/. /tmp/etc && mount --bind /tmp/etc /etc");
    writeFile("/etc/decoy", "a file of the running system\n");
    writeFile("/etc/init.d/rcS", "#!/bin/sh\nmount -t jffs2 /dev/mtdblock/2 /var\n", 0755);
    writeFile("/var/tmp/init", "init of the running system\n");
    auto outside = [&] {
        return fingerprint({"/etc", "/var/tmp", "/var/tuxbox", store.root(), "/tmp/org"},
            {store.path("image"), store.path("tools/menu"), store.path("tools/lcdmenu.conf")});
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        shell("rm -rf " + store.path("image"));
        image("", c.changes);
        std::string before = outside();
        InstallRequest wanted = installRequest("new.img", "5");
        wanted.copySettings = true;

        EXPECT_EQ(installImage(wanted).message, "Image is installed");

        EXPECT_EQ(changedLines(before, outside()), "");
        EXPECT_EQ(readFile(inSlot("5", "Image.info")), "name=Image-5\n");
        EXPECT_EQ(shell("test -f " + inSlot("5", "go") + " && ! test -L " + inSlot("5", "go")), 0);
        for (const auto& [path, content] : c.files) {
            if (content)
                EXPECT_EQ(readFile(inSlot("5", path)), content) << path;
            else
                EXPECT_FALSE(pathExists(inSlot("5", path))) << path;
        }
    }
}

TEST_F(InstallTest, AnyFileNameOrMountPointInstallsAndRunsNothing)
{
    // Had a name been run, this reboot would leave its mark instead.
    writeFile("/tmp/fake-reboot/reboot", "#!/bin/sh\ntouch /tmp/rebooted\n", 0755);
    prependPath("/tmp/fake-reboot");
    ASSERT_EQ(chdir("/tmp"), 0);
    TestStore odd("st $(reboot) x;y");
    const std::pair<const TestStore*, const char*> files[] = {{&store, "a b.img"},
        {&store, "x;touch pwned.img"}, {&store, "$(reboot).img"}, {&odd, "it's.img"}};
    int slot = 0;
    for (const char* options : {"", "--two-part"}) {
        for (const auto& [where, name] : files) {
            SCOPED_TRACE(where->root() + "/" + name + " " + options);
            mpoint = where->root();
            makeImage(where->path(name), options);
            // A cut left by a stopped run goes with the next success.
            writeFile(where->path("squashfs.img"), "left by a stopped run\n");
            std::string number = std::to_string(slot++);

            EXPECT_EQ(installImage(installRequest(name, number)).message, "Image is installed");

            EXPECT_EQ(readFile(where->path("image/" + number + "/Image.info")), "name=Image-" + number + "\n");
            EXPECT_EQ(pathExists(where->path(name)), *options == '\0');
            EXPECT_EQ(leftovers(where->root()), "");
        }
    }
    EXPECT_EQ(capture("ls /tmp/rebooted /tmp/pwned.img 2>/dev/null"), "");
}

} // namespace
