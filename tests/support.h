#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

// Helpers for tests that run inside the private mount namespace of ns-run,
// where /tmp and /var are scratch file systems of their own.

std::string readFile(const std::string& path);
// Writes CONTENT to PATH (making its directories) and gives it MODE.
void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644);
bool pathExists(const std::string& path);
// Permission bits of PATH, or -1 when it does not exist.
int fileMode(const std::string& path);
// Runs LINE with the shell and returns its exit status (-1 when it did not exit).
int shell(const std::string& line);
// Runs LINE with the shell and returns what it printed.
std::string capture(const std::string& line);

// A fresh image store under /tmp: tools/menu.org, go, chroot and du as the
// boot side provides them, no image/ yet. Sets the plug-in's mpoint to it
// and writes it as the first line of /tmp/org.
// A file system of its own on a loop device, mounted on /tmp/NAME from the
// disk file /tmp/NAME.disk made with MKFS (say "mkfs.ext4 -q") at SIZE
// ("64M"); unmounted and removed again with the object.
class LoopDisk {
public:
    LoopDisk(const std::string& name, const std::string& size, const std::string& mkfs);
    ~LoopDisk();

    const std::string& disk() const;

private:
    std::string mountPoint, diskFile;
};

class TestStore {
public:
    explicit TestStore(const std::string& name = "store");
    ~TestStore();

    const std::string& root() const;
    std::string path(const std::string& relative) const;
    // Makes slot directory image/N with an Image.info holding INFO.
    void addSlot(int slot, const std::string& info) const;
    // Makes slot directory image/N without an Image.info.
    void addCorruptedSlot(int slot) const;

    static const char* const menuHead;

private:
    std::string rootPath;
};

// The tree of slot directory DIR without its name file (Image.info and a
// scratch Image.info.new): each entry's path relative to DIR, mode, link
// target and content hash. Two slots holding the same image have the same tree.
std::string slotTree(const std::string& dir);

// The one store checker: what is wrong with the store at ROOT, one line per
// fault, empty when it is sound. Sound means: tools/menu is its head plus
// start lines numbered 1, 2, ... for ascending slots, each slot complete;
// tools/lcdmenu.conf has its five lines with one item per start line;
// every slot with an Image.info is complete and its Image.info one name
// line; the image file IMAGE (unless empty) is there, or a slot holds its
// tree, which is COMPLETE[0]. A slot is complete when its slotTree is one
// of COMPLETE.
std::string storeFaults(const std::string& root, const std::vector<std::string>& complete,
    const std::string& image = "");

// What should not be left in the store at ROOT once an installation has
// run to its end: scratch slots, scratch name and menu files, squashfs.img,
// a mount on /tmp/image. One line each, empty when there is none.
std::string leftovers(const std::string& root);

// Runs nimbrel-host on STORE with KEYS, in a process group of its own and
// with the environment assignments ENV; returns what it printed and a last
// line "exit=STATUS".
std::string runHost(const std::string& store, const std::string& keys, const std::string& env = "");
