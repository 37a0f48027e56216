// mount for a kernel without cramfs. The box loop-mounts cramfs images with
//   mount -t cramfs FILE DIR -o loop
// Here that is played with a read-only tmpfs holding the image unpacked by
// fsck.cramfs; every other mount goes to the real mount unchanged. Only the
// unpacking runs as a process of its own: a mount of an image's head is a
// step of every installation.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// In the run with the box's tools (scripts/ns-run) busybox's, bound there.
const char realMount[] = "/bin/mount";

bool kernelHasCramfs()
{
    std::ifstream filesystems("/proc/filesystems");
    std::string all((std::istreambuf_iterator<char>(filesystems)), std::istreambuf_iterator<char>());
    return all.find("cramfs") != std::string::npos;
}

bool isCramfsLoopMount(int argc, char** argv)
{
    return argc == 7 && std::strcmp(argv[1], "-t") == 0 && std::strcmp(argv[2], "cramfs") == 0 &&
        std::strcmp(argv[5], "-o") == 0 && std::strcmp(argv[6], "loop") == 0 && !kernelHasCramfs();
}

// Ends the program as mount does when it cannot mount on DIR.
[[noreturn]] void fail(const char* dir, const std::string& why)
{
    std::fprintf(stderr, "mount: %s: %s\n", dir, why.c_str());
    std::exit(32);
}

// Runs fsck.cramfs to unpack FILE into the new directory INTO, quietly.
bool extract(const char* file, const std::string& into)
{
    std::string option = "--extract=" + into;
    pid_t child = fork();
    if (child == 0) {
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execlp("fsck.cramfs", "fsck.cramfs", option.c_str(), file, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
        WEXITSTATUS(status) == 0;
}

// fsck.cramfs unpacks only into a directory it makes itself, so the tree is
// laid out on a tmpfs beside DIR and bound onto it; the bind keeps the tmpfs
// alive after its scratch mount point is gone, and umount DIR frees it.
// Returns what went wrong, or nothing.
std::string unpackOnto(const char* file, const char* dir, const std::string& scratch)
{
    if (mount("nimbrel-cramfs", scratch.c_str(), "tmpfs", 0, "mode=755") != 0)
        return "cannot mount a tmpfs.";
    std::string failure, root = scratch + "/root";
    if (!extract(file, root))
        failure = std::string("wrong fs type, bad option, bad superblock on ") + file +
            ", missing codepage or helper program, or other error.";
    else if (mount(root.c_str(), dir, nullptr, MS_BIND, nullptr) != 0)
        failure = "cannot bind the extracted image.";
    umount2(scratch.c_str(), MNT_DETACH);  // unchecked: only the scratch mount point stays
    if (failure.empty() && mount(nullptr, dir, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        umount(dir);  // unchecked: the failure is reported
        failure = "cannot make the image read-only.";
    }
    return failure;
}

[[noreturn]] void mountCramfs(const char* file, const char* dir)
{
    struct stat st;
    if (stat(file, &st) != 0 || !S_ISREG(st.st_mode))
        fail(dir, std::string("special device ") + file + " does not exist.");
    if (stat(dir, &st) != 0 || !S_ISDIR(st.st_mode))
        fail(dir, "mount point does not exist.");
    const char* tmp = std::getenv("TMPDIR");
    std::string scratch = std::string(tmp && *tmp ? tmp : "/tmp") + "/cramfs.XXXXXX";
    if (!mkdtemp(&scratch[0]))
        fail(dir, "no scratch directory.");
    std::string failure = unpackOnto(file, dir, scratch);
    rmdir(scratch.c_str());  // unchecked: an empty directory harms nothing
    if (!failure.empty())
        fail(dir, failure);
    std::exit(0);
}

} // namespace

int main(int argc, char** argv)
{
    if (isCramfsLoopMount(argc, argv))
        mountCramfs(argv[3], argv[4]);
    execv(realMount, argv);
    std::perror(realMount);
    return 32;
}
