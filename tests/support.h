#pragma once
#include <string>
#include <sys/types.h>

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

// A fresh image store under /tmp: tools/menu.org, go, chroot and du as the
// boot side provides them, no image/ yet. Sets the plug-in's mpoint to it
// and writes it as the first line of /tmp/org.
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
