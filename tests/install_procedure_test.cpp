#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include "install/procedure.h"
#include "plugin/globals.h"
#include "store/slots.h"
#include "tests/images.h"
#include "tests/support.h"

using ::testing::HasSubstr;

namespace {

// The start script of make-image's tree, as it comes and as installed.
const char imageRcS[] =
    "#!/bin/sh\n"
    "/bin/mount -t jffs2 /dev/mtdblock/2 /var\n"
    "mount -t jffs2 /dev/mtdblock/3 /var/tuxbox\n"
    "/bin/mount -t proc proc /proc\n"
    "echo \"rcS done\"\n";
const char patchedRcS[] =
    "#!/bin/sh\n"
    "# /dev/mtdblock/2 /var\n"
    "# /dev/mtdblock/3 /var/tuxbox\n"
    "/bin/mount -t proc proc /proc\n"
    "echo \"rcS done\"\n";
const char imageSettings[] = "image settings\n";

class InstallTest : public ::testing::Test {
protected:
    InstallTest()
    {
        useCramfsStandIn();
        writeFlashSettings();
    }

    std::string inSlot(const std::string& slot, const std::string& path) const
    {
        return store.path("image/" + slot + "/" + path);
    }

    // The slot holds the image's tree with every change an installation makes.
    void expectInstalled(const std::string& slot, const std::string& info) const
    {
        EXPECT_EQ(readFile(inSlot(slot, "Image.info")), info);
        EXPECT_EQ(readFile(inSlot(slot, "go")), readFile(store.path("tools/go")));
        EXPECT_TRUE(pathExists(inSlot(slot, "bin/sh")));
        EXPECT_EQ(readFile(inSlot(slot, "var/tuxbox/config/enigma/config")), imageSettings);
        EXPECT_TRUE(pathExists(inSlot(slot, "var/tmp")));
        EXPECT_FALSE(pathExists(inSlot(slot, "var/tmp/init")));
        EXPECT_FALSE(pathExists(inSlot(slot, "var/log")));
        EXPECT_FALSE(pathExists(inSlot(slot, "var_init")));
        EXPECT_EQ(readFile(inSlot(slot, "etc/init.d/rcS_org")), imageRcS);
        EXPECT_EQ(readFile(inSlot(slot, "etc/init.d/rcS")), patchedRcS);
        EXPECT_EQ(fileMode(inSlot(slot, "etc/init.d/rcS")), 0755);
        EXPECT_FALSE(pathExists(inSlot(slot, "etc/init.d/rcS1")));
        EXPECT_EQ(probeSlot(std::stoi(slot)), SlotState::Installed);
        EXPECT_THAT(readFile(store.path("tools/menu")), HasSubstr("$mpoint/image/" + slot + " ../go"));
        EXPECT_FALSE(pathExists(store.path("squashfs.img")));
        EXPECT_FALSE(isMountPoint("/tmp/image"));
    }

    TestStore store;
};

TEST_F(InstallTest, ImagesOfBothKindsInstalled)
{
    struct Case {
        const char* title;
        const char* options;
        const char* slot;
        const char* name;
        const char* info;
        bool fileKept;
    };
    const Case cases[] = {
        {"single-part, default name", "", "3", "", "name=Image-3\n", true},
        {"two-part, a name with a blank", "--two-part", "0", "Sat 1.0", "name=Sat 1.0\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        makeImage(store.path("new.img"), c.options);

        Outcome outcome = installImage(installRequest("new.img", c.slot, c.name));

        EXPECT_EQ(outcome.kind, Outcome::Done);
        EXPECT_EQ(outcome.message, "Image is installed");
        expectInstalled(c.slot, c.info);
        EXPECT_EQ(readFile(inSlot(c.slot, "etc/image-name")), "new.img\n");
        EXPECT_THAT(readFile(store.path("tools/lcdmenu.conf")), HasSubstr(std::string(c.name)));
        EXPECT_EQ(pathExists(store.path("new.img")), c.fileKept);
    }
}

TEST_F(InstallTest, SettingsCopiedOnlyWhenAsked)
{
    makeImage(store.path("new.img"));
    for (bool copy : {false, true}) {
        SCOPED_TRACE(copy ? "copy" : "keep");
        std::string slot = copy ? "1" : "0";
        InstallRequest wanted = installRequest("new.img", slot);
        wanted.copySettings = copy;

        EXPECT_EQ(installImage(wanted).kind, Outcome::Done);

        std::string settings = inSlot(slot, "var/tuxbox/config/enigma/");
        EXPECT_EQ(readFile(settings + "config"), copy ? flashSettings : imageSettings);
        EXPECT_EQ(pathExists(settings + "bouquets"), copy);
    }
}

TEST_F(InstallTest, StartScriptLinesRewritten)
{
    std::string tree = "/tmp/tree";
    makeTree(tree);
    writeFile(tree + "/etc/init.d/rcS",
        "/bin/mount -t jffs2 /dev/x /var\n"
        "mount -t jffs2 /dev/x /var\n"
        "  /bin/mount -t jffs2 /dev/a /a; mount -t jffs2 /dev/b /b\n"
        "mount -t proc proc /proc\n"
        "echo jffs2\n");
    makeImage(store.path("new.img"), "--from " + tree);

    EXPECT_EQ(installImage(installRequest("new.img", "2")).kind, Outcome::Done);

    EXPECT_EQ(readFile(inSlot("2", "etc/init.d/rcS")),
        "# /dev/x /var\n"
        "# /dev/x /var\n"
        "  # /dev/a /a; # /dev/b /b\n"
        "mount -t proc proc /proc\n"
        "echo jffs2\n");
    EXPECT_EQ(fileMode(inSlot("2", "etc/init.d/rcS")), 0755);
}

TEST_F(InstallTest, ImageWithoutVarInitKeepsItsVar)
{
    std::string tree = "/tmp/tree";
    makeTree(tree);
    shell("rm -rf " + tree + "/var_init");
    makeImage(store.path("new.img"), "--from " + tree);

    EXPECT_EQ(installImage(installRequest("new.img", "4")).kind, Outcome::Done);

    EXPECT_EQ(readFile(inSlot("4", "var/log/messages")), "old var of the image\n");
    EXPECT_EQ(readFile(inSlot("4", "Image.info")), "name=Image-4\n");
}

TEST_F(InstallTest, LinksInsideTheImageLeadWhereTheBootedImageFindsThem)
{
    std::string tree = "/tmp/tree";
    makeTree(tree);
    shell("cd " + tree + " && mkdir flash && mv etc var_init flash/ && ln -s /flash/etc etc &&"
        " ln -s flash/var_init var_init");
    makeImage(store.path("new.img"), "--from " + tree);
    InstallRequest wanted = installRequest("new.img", "5");
    wanted.copySettings = true;

    EXPECT_EQ(installImage(wanted).kind, Outcome::Done);

    EXPECT_EQ(readFile(inSlot("5", "flash/etc/init.d/rcS")), patchedRcS);
    EXPECT_EQ(readFile(inSlot("5", "flash/etc/init.d/rcS_org")), imageRcS);
    EXPECT_FALSE(pathExists(inSlot("5", "flash/var_init/tmp/init")));
    EXPECT_EQ(readFile(inSlot("5", "flash/var_init/tuxbox/config/enigma/config")), flashSettings);
    EXPECT_EQ(readFile(inSlot("5", "var/tuxbox/config/enigma/config")), flashSettings);
}

TEST_F(InstallTest, HostileFileNamesInstallAndRunNothing)
{
    // Had a name been run, this reboot would leave its mark instead.
    writeFile("/tmp/fake-reboot/reboot", "#!/bin/sh\ntouch /tmp/rebooted\n", 0755);
    prependPath("/tmp/fake-reboot");
    ASSERT_EQ(chdir("/tmp"), 0);
    const char* const names[] = {"a b.img", "x;touch pwned.img", "$(reboot).img", "it's.img"};
    int slot = 0;
    for (const char* options : {"", "--two-part"}) {
        for (const char* name : names) {
            SCOPED_TRACE(std::string(name) + " " + options);
            makeImage(store.path(name), options);
            std::string number = std::to_string(slot++);

            Outcome outcome = installImage(installRequest(name, number));

            EXPECT_EQ(outcome.kind, Outcome::Done) << outcome.message;
            EXPECT_EQ(readFile(inSlot(number, "Image.info")), "name=Image-" + number + "\n");
            EXPECT_EQ(pathExists(store.path(name)), *options == '\0');
        }
    }
    EXPECT_FALSE(pathExists("/tmp/rebooted"));
    EXPECT_FALSE(pathExists("/tmp/pwned.img"));
    EXPECT_FALSE(pathExists(store.path("pwned.img")));
}

TEST(InstallQuoting, MountPointWithShellCharacters)
{
    useCramfsStandIn();
    writeFile("/tmp/fake-reboot/reboot", "#!/bin/sh\ntouch /tmp/rebooted\n", 0755);
    prependPath("/tmp/fake-reboot");
    TestStore store("st $(reboot) x;y");
    makeImage(store.path("new.img"), "--two-part");
    EXPECT_EQ(installImage(installRequest("new.img", "7")).kind, Outcome::Done);

    EXPECT_EQ(readFile(store.path("image/7/Image.info")), "name=Image-7\n");
    EXPECT_FALSE(pathExists(store.path("new.img")));
    EXPECT_FALSE(pathExists("/tmp/rebooted"));
}

} // namespace
