#include <gtest/gtest.h>

#include "install/procedure.h"
#include "plugin/globals.h"
#include "tests/images.h"
#include "tests/support.h"

namespace {

// Images whose links point into the running system, each followed by what
// the installation would change there if it followed them from outside.
struct Hostile {
    const char* title;
    const char* links;  // run in the image's root tree
    bool copySettings;
};
const Hostile hostileImages[] = {
    {"Image.info and go name files of /etc",
        "ln -s /etc/decoy Image.info && ln -s /etc/init.d/rcS go", false},
    {"go is a directory of the system", "ln -s /etc/init.d go", false},
    {"etc is /etc", "rm -rf etc && ln -s /etc etc", false},
    {"init.d is /etc/init.d", "rm -rf etc/init.d && ln -s /etc/init.d etc/init.d", false},
    {"rcS_org is /etc and rcS1 a file of /etc",
        "ln -s /etc etc/init.d/rcS_org && ln -s /etc/decoy etc/init.d/rcS1", false},
    {"rcS names a file of /etc", "rm etc/init.d/rcS && ln -s /etc/decoy etc/init.d/rcS", false},
    {"rcS is a pipe that nobody writes", "rm etc/init.d/rcS && mkfifo etc/init.d/rcS", false},
    {"rcS leads to an endless device",
        "rm etc/init.d/rcS && mkdir dev && mknod dev/zero c 1 5 && ln -s /dev/zero etc/init.d/rcS",
        false},
    {"var_init and var are /var", "rm -rf var var_init && ln -s /var var_init && ln -s /var var",
        true},
    {"var_init/tmp is /var/tmp", "rm -rf var_init/tmp && ln -s /var/tmp var_init/tmp", false},
    {"the settings are the system's",
        "rm -rf var_init/tuxbox/config/enigma &&"
        " ln -s /var/tuxbox/config/enigma var_init/tuxbox/config/enigma",
        true},
    {"tuxbox is the system's", "rm -rf var_init/tuxbox && ln -s /var/tuxbox var_init/tuxbox", true},
    {"the way up leads out", "rm -rf var_init && ln -s ../../../../../var var_init", true},
};

class HostileImageTest : public ::testing::Test {
protected:
    HostileImageTest()
    {
        useCramfsStandIn();
        // A private copy of /etc, so that a fault cannot harm the machine's.
        shell("mkdir /tmp/etc && cp -a /etc/. /tmp/etc && mount --bind /tmp/etc /etc");
        writeFile("/etc/decoy", "a file of the running system\n");
        writeFile("/etc/init.d/rcS", "#!/bin/sh\nmount -t jffs2 /dev/mtdblock/2 /var\n", 0755);
        writeFile("/var/tmp/init", "init of the running system\n");
        writeFlashSettings();
    }

    std::string outside() const
    {
        return fingerprint({"/etc", "/var", store.root(), "/tmp/org"},
            {store.path("image"), store.path("tools/menu"), store.path("tools/lcdmenu.conf")});
    }

    TestStore store;
};

TEST_F(HostileImageTest, ChangesStayInsideTheSlot)
{
    int slot = 0;
    for (const Hostile& hostile : hostileImages) {
        SCOPED_TRACE(hostile.title);
        std::string tree = "/tmp/tree" + std::to_string(slot);
        makeTree(tree);
        ASSERT_EQ(shell("cd " + tree + " && " + hostile.links), 0);
        std::string number = std::to_string(slot++);
        makeImage(store.path(number + ".img"), "--from " + tree);
        std::string before = outside();
        InstallRequest wanted = installRequest(number + ".img", number);
        wanted.copySettings = hostile.copySettings;

        Outcome outcome = installImage(wanted);

        EXPECT_EQ(outcome.kind, Outcome::Done) << outcome.message;
        EXPECT_EQ(changedLines(before, outside()), "");
        std::string slotDir = store.path("image/" + number);
        EXPECT_EQ(readFile(slotDir + "/Image.info"), "name=Image-" + number + "\n");
        EXPECT_EQ(shell("test -f '" + slotDir + "/go' && ! test -L '" + slotDir + "/go'"), 0);
    }
}

} // namespace
