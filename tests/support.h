#pragma once
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// Helpers for tests run under scripts/ns-run, where /tmp and /var are private.

std::string readFile(const std::string& path);  // empty unless a regular file
// Writes CONTENT to PATH, making its directories, and gives it MODE.
void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644);
bool pathExists(const std::string& path);
int fileMode(const std::string& path);  // permission bits, -1 when PATH is missing
// Exit status of LINE run by sh (128 + N when signal N ended it), -1 when
// none came back. What LINE prints goes to standard error.
int shell(const std::string& line);
std::string capture(const std::string& line);  // what LINE run by sh printed

// A file system made by MKFS (say "mkfs.ext4 -q") in the disk file
// /tmp/NAME.disk of SIZE ("64M"), loop-mounted on /tmp/NAME while it lives.
class LoopDisk {
public:
    LoopDisk(const std::string& name, const std::string& size, const std::string& mkfs);
    ~LoopDisk();
    const std::string& disk() const;

private:
    std::string mountPoint, diskFile;
};

// A fresh image store /tmp/NAME while it lives: tools/menu.org (menuHead),
// go, chroot and du as the boot side has them, no image/. It is the
// plug-in's mpoint and the first line of /tmp/org.
class TestStore {
public:
    explicit TestStore(const std::string& name = "store");
    ~TestStore();
    const std::string& root() const;
    std::string path(const std::string& relative) const;
    void addSlot(int slot, const std::string& info) const;  // image/SLOT with Image.info holding INFO
    void addCorruptedSlot(int slot) const;  // image/SLOT without Image.info
    static const char* const menuHead;

private:
    std::string rootPath;
};

// Lines for PATH and all below it: "SHOWN MODE TARGET" for each entry and
// "HASH  SHOWN" for each regular file, SHOWN being its path with PATH
// written as SHOWN. An entry whose path LEFTOUT takes is left out, with
// all below it.
void addTreeLines(const std::string& path, const std::string& shown,
    const std::function<bool(const std::string&)>& leftOut, std::vector<std::string>& lines);
// LINES sorted, each ended by a line end.
std::string sortedText(std::vector<std::string> lines);

// Each entry of slot directory DIR but Image.info and Image.details (and .new): path, mode, link
// target, content hash. Slots holding the same image have the same tree.
std::string slotTree(const std::string& dir);

// The one store checker: what is wrong with the store at ROOT, a line per
// fault. Sound: tools/menu is its head and start lines 1, 2, ... for rising
// slots; tools/lcdmenu.conf has its five lines; entry N starts the slot
// whose Image.info names item N, or no entry starts any; a slot with
// Image.info is complete (slotTree one of COMPLETE), with one name line;
// IMAGE (unless empty) is there or a slot holds COMPLETE[0]; tools/default.slot
// names no slot that is not installed.
// With STOPPED, an action was stopped midway: the default entry may still
// be the one of the choice before, any entry the script has.
std::string storeFaults(const std::string& root, const std::vector<std::string>& complete,
    const std::string& image = "", bool stopped = false);

// Turns the boot menu in TOOLS into an earlier version's link layout: both
// files links through the link tools/bootmenu into the directory bootmenu.1.
void makeLinkLayout(const std::string& tools);

// What a finished action must not leave in the store at ROOT, a line each:
// scratch slots, cuts and checked images, name and menu files, a /tmp/image mount, any
// link or bootmenu* in tools/.
std::string leftovers(const std::string& root);

// What SNAP, a screen as text in cells of 8 x 16 pixels, shows in LINES
// lines of COLUMNS cells from the pixel X, Y on, each without its trailing
// blanks, joined by line ends.
std::string shownAt(const std::string& snap, int x, int y, int columns, int lines = 1);

// What nimbrel-host printed on STORE with KEYS and the environment
// assignments ENV, in a process group of its own, and "exit=STATUS"; as
// the box's host (--box boxConditions()) unless a test needs a kind host,
// BOX_LIKE false. KEYS "cli ARGS": nimbrel ARGS in STORE, both streams.
std::string runHost(const std::string& store, const std::string& keys, const std::string& env = "",
    bool boxLike = true);

// The box's conditions for this run: NIMBREL_BOX, as nimbrel-host's --box
// takes it ("reaper,closed,077" when unset). The test program runs under
// them too, standard streams aside.
const std::string& boxConditions();

// The environment for runHost that preloads the crash shim (tests/crashshim.c,
// built for the host's architecture) with SETTINGS.
std::string preloadShim(const std::string& settings);

// How far the tests that kill an action at each of its steps in turn go
// from one step to the next: 1, every step, where the CPU is the machine's;
// a fixed sample (every third, from the first) where scripts/test runs the
// tests under an emulated CPU (NIMBREL_EMULATED=1), which it says once.
int stepStride();
// Whether the case of INDEX in a table runs: every one natively; under an
// emulated CPU every EVERY-th (those whose INDEX is a multiple of EVERY),
// which it says once. Tables whose cases vary in two ways pass the sum of
// both indexes, so that the sample takes each value of each.
bool sampled(int index, int every = 3);
