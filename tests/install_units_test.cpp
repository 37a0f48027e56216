#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "install/copyprogress.h"
#include "install/imagecheck.h"
#include "install/procedure.h"
#include "install/slotpath.h"
#include "install/space.h"
#include "store/imagename.h"
#include "tests/images.h"
#include "tests/support.h"

namespace {

TEST(Refusal, SpaceFirstThenSelection)
{
    const std::string space = "no Space !!!\nMemory < 20000 kB\nError129";
    const std::string select = "no Image or no Directory selectedError129";
    // noliste, noiort, freemem; message, title and flags of the refusal, empty when the installation runs
    const std::tuple<int, int, long long, std::string> cases[] = {{0, 0, 20000, ""}, {0, 0, 3LL << 30, ""},
        {0, 0, 19999, space}, {1, 0, 10000, space}, {1, 0, 20000, select}, {0, 1, 30000, select}};
    for (const auto& [noliste, noiort, freemem, refused] : cases) {
        InstallRequest request = installRequest("new.img", "0");
        request.noliste = noliste, request.noiort = noiort, request.freemem = freemem;
        std::optional<Outcome> out = refusal(request);
        EXPECT_EQ(out ? out->message + out->title() + std::to_string(out->boxFlags()) : "", refused) << freemem;
    }
}

TEST(FreeSpace, KilobytesOfAnyBlockSizeWithoutOverflow)
{
    EXPECT_EQ(blocksToKilobytes(10000, 4096), 40000);
    EXPECT_EQ(blocksToKilobytes(3, 512), 1);
    EXPECT_EQ(blocksToKilobytes(1ULL << 31, 4096), 1LL << 33);
    EXPECT_EQ(blocksToKilobytes(ULLONG_MAX, 1ULL << 20), LLONG_MAX);
    EXPECT_EQ(freeKilobytes("/tmp/no/such/directory"), 0);
}

TEST(TreeSize, CoversWhatTheCopyTakesOnTheStoreWithLittleToSpare)
{
    // Many long names, small files, a sparse file, random data, links; the
    // demo images' tree; 20 directories of 1000 names of 240 characters.
    shell("rm -rf /tmp/tree && mkdir -p /tmp/tree/mixed/names /tmp/tree/mixed/small /tmp/tree/long && cd"
        " /tmp/tree/mixed && truncate -s 16M sparse && head -c 3000000 /dev/urandom >data && ln data again && ln"
        " -s $(printf %080d 0) long && ln -s a short && (cd names && seq -f %0240g 3000 | xargs touch) && (cd small"
        " && for i in $(seq 2000); do echo $i >$i; done) && '" NIMBREL_SOURCE "'/scripts/make-image --tree ../demo"
        " && head -c 524288 /dev/urandom >../demo/bin/payload && cd ../long && for d in $(seq 20); do mkdir $d &&"
        " (cd $d && seq -f %0240g 1000 | xargs touch); done");
    // tree, mkfs, the most the estimate may be of what the copy takes
    const std::tuple<std::string, const char*, double> cases[] = {{"mixed", "mkfs.ext2 -q -b 1024", 2},
        {"mixed", "mkfs.ext4 -q -b 1024", 2}, {"mixed", "mkfs.ext4 -q -b 4096", 2}, {"demo", "mkfs.ext2 -q", 1.1},
        {"demo", "mkfs.ext4 -q", 1.1}, {"long", "mkfs.ext2 -q -N 30000", 1.1}, {"long", "mkfs.ext4 -q -N 30000", 1.25}};
    for (const auto& [tree, mkfs, most] : cases) {
        SCOPED_TRACE(tree + ", " + mkfs);
        LoopDisk disk("disk", "64M", mkfs);
        const std::string inodes = "df --output=iused /tmp/disk | tail -1";
        long long before = std::stoll(capture(inodes)), block = std::stoll(capture("stat -fc %S /tmp/disk"));
        // As the box's busybox cp copies: the holes written out.
        ASSERT_EQ(shell("cp -Rd --sparse=never /tmp/tree/" + tree + " /tmp/disk && sync"), 0);
        long long used = std::stoll(capture("du -sk /tmp/disk/" + tree));
        TreeNeeds needs = treeNeeds("/tmp/tree/" + tree, block);
        EXPECT_EQ(needs.inodes, std::stoll(capture(inodes)) - before);
        EXPECT_GE(needs.kilobytes, used);
        EXPECT_LE(needs.kilobytes, most * used);
    }
    // A size only a crafted image claims: beyond any disk, never overflowing into a small need.
    shell("truncate -s 9223372036854775807 /tmp/tree/mixed/huge");
    EXPECT_GT(treeNeeds("/tmp/tree/mixed", 4096).kilobytes, 1LL << 52);
}

TEST(Progress, ShareNeverBackNorPastAllTimeLeftOnceKnown)
{
    // total; written and seconds of each update, and the texts they give
    const std::tuple<long long, std::vector<std::pair<long long, double>>, std::vector<std::string>> cases[] = {
        {1000, {{0, 0.5}, {100, 0.9}, {250, 2}, {200, 3}, {1000, 4}, {1500, 5}},
            {"0 %", "10 %", "25 % (0:06 left)", "25 % (0:09 left)", "100 % (0:00 left)", "100 % (0:00 left)"}},
        {100000, {{1000, 10}, {0, 11}}, {"1 % (16:30 left)", "1 % (18:09 left)"}}, {0, {{0, 2}}, {"100 %"}}};
    for (const auto& [total, updates, texts] : cases) {
        ProgressEstimate estimate(total);
        std::vector<std::string> shown;
        for (auto [written, seconds] : updates)
            shown.push_back(estimate.update(written, seconds));
        EXPECT_EQ(shown, texts) << total;
    }
}

// Images of the box's byte order too; only their superblocks are looked at.
TEST(ImageCheck, CramfsOfEitherByteOrderWholeOrCut)
{
    TestStore store;
    shell("mkdir -p /tmp/tree/bin && cd " + store.root() + " && for order in big little; do mkfs.cramfs -N $order"
        " /tmp/tree $order.img >/dev/null && head -c 3000 $order.img >cut-$order.img &&"
        " head -c 512 /dev/zero >boot-$order.img && cat $order.img >>boot-$order.img; done");
    for (std::string order : {"big", "little"}) {
        for (const auto& [file, refusal] : {std::pair{order + ".img", ""}, {"boot-" + order + ".img", ""},
                 {"cut-" + order + ".img", "image file is incomplete"}}) {
            bool partBehind = true;
            std::optional<Outcome> refused = refuseBeforeMounting(file, partBehind);
            EXPECT_EQ(refused ? refused->message : "", std::string(refusal)) << file;
            EXPECT_FALSE(partBehind) << file;
        }
    }
    shell("rm -rf /tmp/tree");
}

// The cut of a part takes what its superblock says it uses (padded to 4 kB,
// as a loop device needs whole blocks) or, without one, what the old cut took
// at most: never the rest of a large damaged file. ORDER: the superblock's
// byte order; USED: its bytes_used; BEHIND: the file's bytes after 1179648.
TEST(ImageCheck, CutTakesOnlyWhatThePartCanHold)
{
    const struct {
        const char* order;  // "" for no superblock
        long long used, behind, cut;
    } cases[] = {
        {"little", 5000, 100000, 8192}, {"big", 5000, 100000, 8192}, {"little", 8192, 8192, 8192},
        {"little", 90000000, 100000, 100000},  // a part that ends early: the mount judges it
        {"little", 61440000, 70000000, 61440000},  // a real part larger than the old bound
        {"", 0, 600, 600}, {"", 0, 60000000, 51200000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.order) + " " + std::to_string(c.used) + " " + std::to_string(c.behind));
        shell("rm -f /tmp/cut.img && truncate -s " + std::to_string(1179648 + c.behind) + " /tmp/cut.img");
        if (*c.order) {
            std::string big = std::string(c.order) == "big" ? "1" : "0";
            // magic, major version 4 at byte 28, bytes_used at byte 40, each in that order
            ASSERT_EQ(shell("perl -e '$b=" + big + "; sub n { my ($v, $n) = @_; my $s = pack(\"Q<\", $v);"
                " $s = substr($s, 0, $n); $b ? scalar reverse($s) : $s } print n(0x73717368, 4), \"\\0\" x 24,"
                " n(4, 2), \"\\0\" x 10, n(" + std::to_string(c.used) + ", 8)' |"
                " dd of=/tmp/cut.img bs=1 seek=1179648 conv=notrunc status=none"), 0);
        }
        EXPECT_EQ(squashfsCutBytes("/tmp/cut.img"), c.cut);
    }
    shell("rm -f /tmp/cut.img");
}

TEST(PathInSlot, LinksResolvedWithTheSlotAsRoot)
{
    shell("rm -rf /tmp/slot && mkdir -p /tmp/slot/flash/etc/init.d && cd /tmp/slot && ln -s /flash/etc etc &&"
        " ln -s flash rel && ln -s ../../.. up && ln -s / top && ln -s loop loop && ln -s /etc/passwd info &&"
        " ln -s init.d flash/etc/boot");
    const LastLink keep = LastLink::Keep, follow = LastLink::Follow;
    // path, its last link, where it resolves to in the slot (null: the links loop)
    const std::tuple<const char*, LastLink, const char*> cases[] = {{"etc/init.d/rcS", keep, "/flash/etc/init.d/rcS"},
        {"etc", keep, "/etc"}, {"etc", follow, "/flash/etc"}, {"rel/etc/boot/rcS", keep, "/flash/etc/init.d/rcS"},
        {"up/etc/x", keep, "/flash/etc/x"}, {"../../etc", follow, "/flash/etc"}, {"top/etc", follow, "/flash/etc"},
        {"info", keep, "/info"}, {"info", follow, "/flash/etc/passwd"}, {"missing/dir", keep, "/missing/dir"},
        {"loop/x", keep, nullptr}, {"./etc/./init.d", keep, "/flash/etc/init.d"}};
    for (const auto& [path, last, resolved] : cases)
        EXPECT_EQ(pathInSlot("/tmp/slot", path, last), resolved ? "/tmp/slot" + std::string(resolved) : "") << path;
}

TEST(ImageInfo, ReplacesWhateverStandsThereOrFailsLeavingNoScratch)
{
    const std::string dir = "/tmp/store/image/3";
    // run in DIR; whether Image.info is written, else it stays as it was
    const std::pair<const char*, bool> cases[] = {{"true", true}, {"printf 'name=old\\nextra=1\\n' > Image.info", true},
        {"ln -s /tmp/outside Image.info", true}, {"mkdir -p Image.info/sub", true},
        {"ln -s /tmp/outside Image.info.new", true}, {"mkdir Image.info && mount -t tmpfs busy Image.info", false},
        {"mount -t tmpfs -o nr_inodes=2 full . && cd . && echo name=old > Image.info", false},
        {"cd .. && rmdir 3", false}};
    for (const auto& [prepare, written] : cases) {
        SCOPED_TRACE(prepare);
        shell("umount " + dir + "/Image.info " + dir + " 2>/dev/null; rm -rf /tmp/store && mkdir -p " + dir);
        writeFile("/tmp/outside", "untouched\n");
        ASSERT_EQ(shell("cd " + dir + " && " + prepare), 0);
        std::string before = readFile(dir + "/Image.info");
        EXPECT_EQ(writeImageInfo(dir, "Sat 1.0"), written);
        EXPECT_EQ(readFile(dir + "/Image.info"), written ? "name=Sat 1.0\n" : before);
        EXPECT_EQ(capture("cd " + dir + " 2>/dev/null && { ls -d Image.info.new; test -L Image.info && echo link; }"
                          " 2>/dev/null; cat /tmp/outside"), "untouched\n");
    }
    shell("rm -rf /tmp/store /tmp/outside /tmp/slot /tmp/tree");
}

} // namespace
