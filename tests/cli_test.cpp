#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "store/shell.h"
#include "tests/images.h"
#include "tests/support.h"

namespace {

struct CliRun {
    int status;
    std::string out, err;
};

// nimbrel with ARGS, standard input from nowhere, in its own session.
CliRun nimbrel(const std::string& args, const std::string& env = "")
{
    std::string status = capture(env + " setsid -w " + shellQuote(NIMBREL_BUILD "/nimbrel") + " " + args +
        " </dev/null >/tmp/cli.out 2>/tmp/cli.err; echo $?");
    return {std::stoi(status), readFile("/tmp/cli.out"), readFile("/tmp/cli.err")};
}

// What a front end may change: the store and /tmp/image.
std::string storeState(const TestStore& store)
{
    return fingerprint({store.root(), "/tmp/image"}, {});
}

class CliTest : public ::testing::Test {
protected:
    CliTest()
    {
        useCramfsStandIn();
        makeImage(store.path("single-part.img"));
        makeImage(store.path("two-part.img"), "--two-part");
        writeFile(store.path("random.img"), std::string(8192, 'x'));
        shell("mkdir -p /tmp/image");
        writeFile(store.path("two-part.img.md5"), capture("cd " + store.root() + " && md5sum two-part.img"));
    }
    ~CliTest() override { shell("umount /tmp/image 2>/dev/null; rm -rf /tmp/image /tmp/slow"); }

    TestStore store;
    const std::string at = "--store " + store.root();
};

// The commands in the order a person might run them on one store: each
// with its status, stdout (whole, or "~" and a part), stderr (a part) and
// whether the store changed.
TEST_F(CliTest, CommandsTable)
{
    struct Case {
        std::string args;
        int status;
        std::string out, err;
        bool changes;
    };
    std::vector<Case> cases = {
        {"", 2, "", "a command is required", false},
        {"--version", 0, "Nimbrel V1.2  Date: 06.12.2026\n", "", false},
        {"--help", 0, "~Usage: nimbrel [OPTIONS] [SUBCOMMAND]", "", false},
        {"erase --help", 0, "~Usage: nimbrel erase [OPTIONS] SLOT", "", false},
        {"frobnicate", 2, "", "not expected: frobnicate", false},
        {"status --frob", 2, "", "--frob", false},
        {"--store /tmp/nowhere status", 2, "", "no store at /tmp/nowhere", false},
        {"--store /tmp/org status", 2, "", "the store /tmp/org is not a directory", false},
        {"status", 0, "~store      " + store.root() + "\n", "", false},
        {"status", 0, "~boot menu  none yet: the first installation writes it (or run: nimbrel menu)\n", "", false},
        {"images", 0, "~random.img", "", false},
        {"images", 0, "~ok\n(the checks before mounting only: nimbrel verify FILE makes every check", "", false},
        {"install", 2, "", "FILE is required", false},
        {"install nothing.img", 2, "", "no image file of the store: nothing.img", false},
        {"install /etc/passwd", 2, "", "no image file of the store: /etc/passwd: it lies outside the store " +
            store.root() + "; copy it in first (cp '/etc/passwd' '" + store.root() + "'/), then install passwd", false},
        {"install two-part.img.md5", 2, "", "no image file of the store", false},
        {"install single-part.img --slot 10", 2, "", "--slot: Value 10 not in range 0 to 9", false},
        {"install single-part.img --name a,b", 2, "", "a,b", false},
        {"install single-part.img --name 12345678901", 2, "", "longer than 10", false},
        {"rename 3 \"$(printf '\\033[2J')\"", 2, "", "character other than letters, digits, blank and -+:.: ?[2J (see", false},
        {"install random.img", 2, "", "nimbrel: not an image file\n", false},
        {"verify random.img", 2, "", "nimbrel: not an image file\n", false},
        {"verify single-part.img", 0, "single-part.img passes the checks, no checksum file\n", "", false},
        {"verify " + store.root() + "/two-part.img", 0, "two-part.img passes the checks, its checksum files too\n",
            "", false},
        {"verify damaged.img", 2, "", "nimbrel: image file is damaged: its sha256 ", false},
        {"verify other.img", 2, "", "nimbrel: checksum file unreadable: other.img.md5 gives no digest for other.img\n",
            false},
        {"--store /etc status", 2, "", "nimbrel: no image store at /etc: it holds neither tools/ nor image/\n", false},
        {"rename 3 Foo", 2, "", "nimbrel: no Image in slot 3\n", false},
        {"erase 3 --yes", 2, "", "nimbrel: no Image in slot 3\n", false},
        {"color blue", 2, "", "unknown color: blue (one of green cyan red magenta orange white gray, or 2..8)", false},
        {"color 9", 2, "", "unknown color: 9", false},
        {"install two-part.img --slot 3 --name 'Sat 1.0' --remove-file", 0,
            "installed Sat 1.0 into slot 3\nimage file two-part.img removed with two-part.img.md5\n", "", true},
        {"backup 3 " + store.path("backup.img"), 0, "~backed up slot 3 (Sat 1.0) to " + store.path("backup.img"), "",
            true},
        {"install backup.img --slot 6 --remove-file", 0,
            "installed Image-6 into slot 6\nimage file backup.img kept (a backup: nimbrel remove deletes it)\n", "", true},
        {"default 3", 0, "boot menu starts slot 3 (Sat 1.0) by default\n", "", true},
        {"default 5", 2, "", "nimbrel: no Image in slot 5\n", false},
        {"install single-part.img --slot 3 --json", 2,
            "{\"changed\":[],\"detail\":\"\",\"message\":\"slot 3 is not free\",\"ok\":false,\"status\":2}\n",
            "nimbrel: slot 3 is not free\n", false},
        {"install " + store.root() + "/single-part.img", 0, "installed Image-0 into slot 0\nimage file single-part.img kept\n",
            "", true},
        {"status", 0, "~default    slot 3 (Sat 1.0)\n", "", false},
        {"info 3", 0, "~image file  two-part.img\nboot menu   entry 2\ndefault     yes\n", "", false},
        {"info Nobody --json", 2, "", "nimbrel: no slot 0..9 and no installed slot named Nobody\n", false},
        {"rename Image-0 Main", 0, "renamed slot 0 from Image-0 to Main\n", "", true},
        {"rename Nobody X", 2, "", "nimbrel: no slot 0..9 and no installed slot named Nobody\n", false},
        {"rename Main 'Sat 1.0'", 0, "renamed slot 0 from Main to Sat 1.0\n", "", true},
        {"erase 'Sat 1.0' --yes", 2, "", "nimbrel: slots 0, 3 are all named Sat 1.0: give the slot's number\n", false},
        {"rename 0 ''", 0, "renamed slot 0 from Sat 1.0 to Image-0\n", "", true},
        {"default flash", 0, "boot menu starts the firmware in flash by default\n", "", true},
        {"default Image-0 --json", 0, "{\"changed\":[\"boot menu starts slot 0 (Image-0) by default\"],\"detail\":\"\","
            "\"message\":\"boot menu starts slot 0 (Image-0) by default\",\"ok\":true,\"status\":0}\n", "", true},
        {"info Image-0 --json", 0, "~  \"boot_entry\": 1,\n  \"default\": true,\n", "", false},
        {"color MAGENTA --json", 0, "{\"changed\":[\"menu color set to magenta (5)\"],\"detail\":\"\",\"message\":"
            "\"menu color set to magenta (5)\",\"ok\":true,\"status\":0}\n", "", true},
        {"color 2", 0, "menu color set to green (2)\n", "", true},
        {"erase 0", 2, "", "give --yes", false},
        {"erase 0 --yes", 0, "erased slot 0 (Image-0)\n", "", true},
        {"status --json", 0, "~\"default_slot\": null", "", false},
        {"menu", 0, "boot menu written\n", "", false},
        {"remove", 2, "", "FILE is required", false},
        {"remove random.img", 2, "", "nimbrel: remove asks first: give --yes to remove without a terminal\n", false},
        {"remove backup.img --yes --json", 0, "{\"changed\":[\"removed image file backup.img with backup.img.md5, "
            "backup.img.sha256\"],\"detail\":\"\",\"message\":\"removed image file backup.img with backup.img.md5, "
            "backup.img.sha256\",\"ok\":true,\"status\":0}\n", "", true},
        {"remove other.img.md5 --yes", 0, "removed checksum file other.img.md5\n", "", true},
        {"log", 0, "~ nimbrel remove - done removed checksum file other.img.md5\n", "", false},
    };
    // Nothing but an image file or a checksum file of the store, by name.
    for (const char* file : {"tools", "image", "nimbrel.log", "tools/menu", "../s/random.img", "a..img", "link.img",
             "fifo.img", "image/5/bin/sh.img", "missing.img"})
        cases.push_back({std::string("remove ") + file + " --yes", 2, "", std::string("nimbrel: no image file or checksum "
            "file of the store: ") + file + "\n", false});
    // What an installation of single-part.img holds, from one into a twin store.
    TestStore twin("twin");
    shell("cp " + store.path("single-part.img") + " " + twin.root());
    ASSERT_EQ(nimbrel("--store " + twin.root() + " install single-part.img").status, 0);
    const std::string singlePart = slotTree(twin.path("image/0"));
    shell("cd " + store.root() + " && cp single-part.img damaged.img && cp single-part.img other.img && "
          "echo \"$(printf %064d 0)  damaged.img\" >damaged.img.sha256 && md5sum two-part.img >other.img.md5 && "
          "ln -s random.img link.img && mkfifo fifo.img");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        std::string before = storeState(store);
        CliRun run = nimbrel((c.args.rfind("--store", 0) == 0 ? "" : at + " ") + c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.out.rfind("~", 0) == 0)
            EXPECT_NE(run.out.find(c.out.substr(1)), std::string::npos) << run.out;
        else
            EXPECT_EQ(run.out, c.out);
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        std::istringstream lines(run.err);
        for (std::string line; std::getline(lines, line);)
            EXPECT_EQ(line.rfind("nimbrel: ", 0), 0u) << run.err;
        EXPECT_EQ(storeState(store) != before, c.changes);
        if (pathExists(store.path("tools/menu"))) {  // a fresh store has no boot menu yet
            EXPECT_EQ(storeFaults(store.root(), {slotTree(store.path("image/3")), singlePart}), "");
        }
        EXPECT_EQ(leftovers(store.root()), "");
    }
    EXPECT_EQ(readFile(store.path("image/3/Image.info")), "name=Sat 1.0\n");
    EXPECT_FALSE(pathExists(store.path("two-part.img.md5")));  // an image file goes with its sums when asked
    EXPECT_FALSE(pathExists(store.path("backup.img.sha256")));
    EXPECT_FALSE(pathExists(store.path("image/0")));
    EXPECT_FALSE(pathExists(store.path("tools/default.slot")));  // the erased default is not a later slot 0's
    EXPECT_NE(readFile(store.path("tools/lcdmenu.conf")).find("menu_color=2\n"), std::string::npos);
    // A choice of a slot no longer there, as an older version could leave it: the next action drops it.
    writeFile(store.path("tools/default.slot"), "4\n");
    EXPECT_EQ(nimbrel(at + " color 3").status, 0);
    EXPECT_EQ(storeFaults(store.root(), {slotTree(store.path("image/3"))}), "");
}

// verify answers as install does on every file, and writes nothing.
TEST_F(CliTest, VerifyAgreesWithInstall)
{
    shell("cd " + store.root() + " && head -c 1179648 two-part.img >head.img && cp single-part.img bad.img && "
          "md5sum random.img >bad.img.md5 && cp two-part.img cut.img && truncate -s 1179748 cut.img");
    int slot = 0;
    for (const char* file : {"head.img", "bad.img", "cut.img", "random.img", "single-part.img", "two-part.img"}) {
        SCOPED_TRACE(file);
        std::string before = storeState(store);
        CliRun verify = nimbrel(at + " verify " + file);
        EXPECT_EQ(storeState(store), before);
        CliRun install = nimbrel(at + " install " + file + " --slot " + std::to_string(slot));
        EXPECT_EQ(verify.status, install.status);
        EXPECT_EQ(verify.err, install.err);
        slot += install.status == 0;
    }
    EXPECT_EQ(slot, 2);
}

// Steps that fail (status 1) change nothing, or as the windows leave it.
TEST_F(CliTest, FailedStepsAndTheirStatus)
{
    shell("rm -rf /tmp/image");
    writeFile("/tmp/image", "a file where the mount point goes\n");
    std::string before = storeState(store);
    CliRun run = nimbrel(at + " install single-part.img");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.substr(run.err.find("nimbrel:")), "nimbrel: could not mount cramfs\n");
    EXPECT_EQ(storeState(store), before);
    store.addSlot(4, "name=Four\n");
    shell("rm -f " + store.path("tools/menu") + " && mkdir " + store.path("tools/menu"));
    for (const char* args : {" rename 4 New", " menu", " color red"}) {
        SCOPED_TRACE(args);
        run = nimbrel(at + args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "nimbrel: could not write boot menu\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(readFile(store.path("image/4/Image.info")), "name=Four\n");
    // No tools/ at all: no boot menu can start the slot, so it goes all the same.
    shell("rm -rf " + store.path("tools"));
    run = nimbrel(at + " erase 4 --yes");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "nimbrel: could not write boot menu: slot 4 erased; no boot tools in " + store.path("tools") +
        "\n");
    EXPECT_FALSE(pathExists(store.path("image/4")));
}

// The store from /tmp/org as nimbrel-host finds it, refused alike.
TEST_F(CliTest, StoreFromTmpOrg)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "Tovra-Image must be started!"},
        {"/tmp/nowhere\n", "image store not found: /tmp/nowhere"},
        {store.root() + "\r\n", ""},
        {"|", "Tovra-Image must be started!"},  // a pipe nobody writes to: no store, no wait
    };
    for (const auto& [org, err] : cases) {
        SCOPED_TRACE(org);
        shell("rm -f /tmp/org");
        if (org == "|")
            shell("mkfifo /tmp/org");
        else if (!org.empty())
            writeFile("/tmp/org", org);
        CliRun run = nimbrel("status", "timeout 60");
        EXPECT_EQ(run.status, err.empty() ? 0 : 2);
        EXPECT_NE(run.err.find(err), std::string::npos) << run.err;
        EXPECT_EQ(run.err.empty() || run.err.find('\n') == run.err.size() - 1, true);
    }
}

// A tools/du that never ends (a broken tool, a dying disk) is given its
// time once: the size is unknown, and the rest of status is there.
TEST_F(CliTest, StatusWhenDuNeverEnds)
{
    store.addSlot(3, "name=Three\n");
    store.addSlot(6, "name=Six\n");
    writeFile(store.path("tools/du"), "#!/bin/sh\necho \"$2\" >>/tmp/du.log\nexec sleep 600\n", 0755);
    CliRun run = nimbrel(at + " status", "timeout 60");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, ::testing::HasSubstr("\n3     installed  unknown    Three "));
    EXPECT_THAT(run.out, ::testing::HasSubstr("\n6     installed  unknown    Six "));
    EXPECT_EQ(readFile("/tmp/du.log"), store.path("image/3") + "\n");
    shell("rm -f /tmp/du.log");
}

TEST_F(CliTest, StatusAndImagesAsJson)
{
    ASSERT_EQ(nimbrel(at + " install two-part.img --slot 2 --name Two --remove-file").status, 0);
    store.addSlot(5, "name=Older\n");  // installed before the details were kept
    store.addCorruptedSlot(7);
    shell("cd " + store.path("image/7") + " && head -c 10000 /dev/zero >data && cp ../2/Image.details .");
    nimbrel(at + " color orange");
    store.addSlot(8, "name=Hand\n");  // made by hand: the boot menu does not start it
    shell("cd " + store.path("image") + " && mkfifo 0 && ln -s nowhere 9");  // no slots, and in the way

    nlohmann::json status = nlohmann::json::parse(nimbrel(at + " status --json").out);
    EXPECT_EQ(status["store"], store.root());
    EXPECT_TRUE(status["free_kb"].is_number_integer());
    EXPECT_GT(status["free_kb"].get<long long>(), 0);
    EXPECT_EQ(status["color"], 6);
    EXPECT_EQ(status["color_name"], "orange");
    EXPECT_EQ(status["boot_menu_current"], false);
    ASSERT_EQ(status["slots"].size(), 10u);
    for (int slot = 0; slot < 10; ++slot) {
        const nlohmann::json& entry = status["slots"][slot];
        SCOPED_TRACE(slot);
        EXPECT_EQ(entry.size(), 9u);
        EXPECT_EQ(entry["slot"], slot);
        const char* state = slot == 2 || slot == 5 || slot == 8 ? "installed" : slot == 7 ? "corrupted" :
            slot == 0 || slot == 9 ? "blocked" : "free";
        EXPECT_EQ(entry["state"], state);
        EXPECT_EQ(entry["in_boot_menu"], slot == 2 || slot == 5);
        EXPECT_EQ(entry["boot_entry"], slot == 2 ? nlohmann::json(1) : slot == 5 ? nlohmann::json(2) : nullptr);
        EXPECT_EQ(entry["default"], false);
        EXPECT_EQ(entry["size_kb"].is_number_integer(), entry["state"] != "free" && entry["state"] != "blocked");
        EXPECT_EQ(entry["name"].is_null(), entry["state"] != "installed");
        EXPECT_EQ(entry["installed"].is_null(), slot != 2);
        EXPECT_EQ(entry["image_file"].is_null(), slot != 2);
    }
    const nlohmann::json& two = status["slots"][2];
    EXPECT_EQ(two["name"], "Two");
    EXPECT_EQ(two["image_file"], "two-part.img");
    EXPECT_EQ(two["size_kb"], std::stoll(capture("du -sk " + store.path("image/2") + " | cut -f1")));
    EXPECT_EQ(status["slots"][7]["size_kb"], std::stoll(capture("du -sk " + store.path("image/7") + " | cut -f1")));
    std::string when = two["installed"];
    EXPECT_EQ(capture("date -u -d " + when + " +%Y-%m-%dT%H:%M:%SZ"), when + "\n");
    EXPECT_EQ(status["slots"][5]["name"], "Older");
    // The first slot free for an installation is 1, the text says why 0 is not.
    EXPECT_THAT(nimbrel(at + " status").out, ::testing::HasSubstr("\n0     blocked    -          -           no"));
    EXPECT_EQ(nimbrel(at + " install single-part.img --name One").out,
        "installed One into slot 1\nimage file single-part.img kept\n");

    ASSERT_EQ(nimbrel(at + " menu").status, 0);
    status = nlohmann::json::parse(nimbrel(at + " status --json").out);
    EXPECT_EQ(status["boot_menu_current"], true);
    EXPECT_EQ(status["slots"][8]["in_boot_menu"], true);

    // A head over its bound: refused before anything changes, said as such.
    shell("head -c 65537 /dev/zero >>" + store.path("tools/menu.org"));
    std::string before = storeState(store);
    CliRun rename = nimbrel(at + " rename 2 X");
    EXPECT_EQ(rename.status, 2);
    EXPECT_EQ(rename.err, "nimbrel: could not write boot menu: tools/menu.org holds 65565 bytes, more than a boot "
                          "menu's head may (65536): shorten it\n");
    EXPECT_EQ(storeState(store), before);
    EXPECT_TRUE(nlohmann::json::parse(nimbrel(at + " status --json").out)["boot_menu_current"].is_null());

    makeImage(store.path("b-cut.img"), "--two-part");
    shell("truncate -s 1179748 " + store.path("b-cut.img") + " && mkdir " + store.path("dir.img"));
    shell("cd " + store.root() + " && md5sum single-part.img >single-part.img.md5 && touch gone.img.md5 gone.img.sha256");
    nlohmann::json images = nlohmann::json::parse(nimbrel(at + " images --json").out);
    const char* const expected[][3] = {{"b-cut.img", "two-part", "image file is incomplete"},
        {"dir.img", "unknown", "not an image file"}, {"random.img", "unknown", "not an image file"},
        {"single-part.img", "single-part", "ok"}};
    ASSERT_EQ(images.size(), 4u);
    for (size_t i = 0; i < images.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(images[i].size(), 4u);
        EXPECT_EQ(images[i]["file"], expected[i][0]);
        EXPECT_EQ(images[i]["kind"], expected[i][1]);
        EXPECT_EQ(images[i]["check"], expected[i][2]);
        std::string file = store.path(expected[i][0]);
        if (i == 1)
            EXPECT_TRUE(images[i]["size"].is_null());
        else
            EXPECT_EQ(images[i]["size"], std::stoll(capture("stat -c %s " + file)));
    }
}

// A name with control characters reaches a terminal as '?', JSON whole,
// and any file name comes back from the slot's details as it was.
TEST_F(CliTest, NamesFromTheStoreNeverReachTheTerminalRaw)
{
    store.addSlot(6, "name=E\x1b[2J\n");
    EXPECT_NE(nimbrel(at + " status").out.find(" E?[2J "), std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(nimbrel(at + " status --json").out)["slots"][6]["name"], "E\x1b[2J");
    EXPECT_EQ(nimbrel(at + " rename 6 New").out, "renamed slot 6 from E?[2J to New\n");
    // The details file keeps a file name of any bytes on one line.
    const std::string odd = "a\\x\n\x01.img";
    shell("cp " + store.path("single-part.img") + " " + shellQuote(store.path(odd)));
    ASSERT_EQ(nimbrel(at + " install " + shellQuote(odd) + " --slot 1").status, 0);
    EXPECT_EQ(readFile(store.path("image/1/Image.details")).substr(31), "image=a\\\\x\\n\\x01.img\n");
    EXPECT_EQ(nlohmann::json::parse(nimbrel(at + " status --json").out)["slots"][1]["image_file"], odd);
    // Bytes that are no UTF-8 go as U+0000..U+00FF, and install takes that name back.
    shell("cp " + store.path("single-part.img") + " " + shellQuote(store.path("caf\xe9.img")));
    nlohmann::json images = nlohmann::json::parse(nimbrel(at + " images --json").out);
    ASSERT_EQ(images.at(1)["file"], "caf\u00e9.img");
    ASSERT_EQ(nimbrel(at + " install " + shellQuote(images[1]["file"]) + " --slot 2").status, 0);
    EXPECT_EQ(readFile(store.path("image/2/Image.details")).substr(31), "image=caf\xe9.img\n");
}

} // namespace
