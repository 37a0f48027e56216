// nimbrel-host: the box's menu host as a PC program. Loads the plug-in the
// way the box does and lets a person or a key script work its windows.

#include <dlfcn.h>
#include <fcntl.h>
#include <sched.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "pchost/boxlike/boxprocess.h"
#include "pchost/front/executable.h"
#include "pchost/front/pluginlibrary.h"
#include "pchost/front/session.h"
#include "pchost/front/terminal.h"
#include "pchost/front/window.h"
#include "pchost/toolkit/skin.h"

namespace {

const char usage[] =
    "usage: nimbrel-host [--store DIR] [--fontsize N] [--box CONDITIONS] [--keys \"K K ...\" | --window]"
    " [--reload DIR|-]... [PLUGIN.so]\n";

const char help[] =
    "  --store DIR     the image store's directory, written to /tmp/org\n"
    "  --fontsize N    the skin's font size\n"
    "  --keys \"K ...\"  a scripted session: up down left right ok exit red green\n"
    "                  yellow blue 0..9 text:ABC snap snap:FILE.png, and wait\n"
    "                  (for a line on standard input before the next key)\n"
    "  --window        the screen in a desktop window\n"
    "  --box CONDITIONS  run the plug-in as the box's host does: descriptors 3..40\n"
    "                  held, busy threads, SIGPIPE ignored, signals blocked, the\n"
    "                  box's PATH only; CONDITIONS: reaper|ignore (SIGCHLD),\n"
    "                  closed|null (stdio, with --keys or --window), the umask,\n"
    "                  oldkernel (Linux 2.6.18's system calls only; x86-64)\n"
    "                  (say reaper,closed,077 or reaper,closed,077,oldkernel)\n"
    "  --reload DIR|-  when the plug-in returns, unload it, write DIR to /tmp/org\n"
    "                  (-: remove /tmp/org), load it again and run it once more,\n"
    "                  the keys going on; each --reload adds a run\n"
    "  PLUGIN.so       the plug-in to run (default: nimbrel.so beside the host)\n"
    "Without --keys or --window the screen is drawn in this terminal.\n";

struct Options {
    std::optional<std::string> store;
    std::optional<std::string> keys;  // a scripted session
    std::optional<BoxConditions> box;
    std::vector<std::string> reloads;  // /tmp/org's line before each further run; "-": none
    bool window = false;
    bool help = false;
    std::string plugin;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
        bool valued = arg == "--store" || arg == "--fontsize" || arg == "--keys" || arg == "--box" ||
            arg == "--reload";
        if (valued && i + 1 >= argc)
            throw UsageError(arg + " needs a value");
        if (arg == "--store") {
            options.store = argv[++i];
        } else if (arg == "--fontsize") {
            char* end = nullptr;
            long size = std::strtol(argv[++i], &end, 10);
            if (*argv[i] == '\0' || *end != '\0' || size <= 0 || size > 200)
                throw UsageError(std::string("bad font size: ") + argv[i]);
            setSkinFontSize(static_cast<int>(size));
        } else if (arg == "--keys") {
            options.keys = argv[++i];
        } else if (arg == "--box") {
            if (!(options.box = parseBoxConditions(argv[++i])))
                throw UsageError(std::string("bad box conditions: ") + argv[i]);
        } else if (arg == "--reload") {
            options.reloads.push_back(argv[++i]);
        } else if (arg == "--window") {
            options.window = true;
        } else if (arg.compare(0, 1, "-") == 0 || i != argc - 1) {
            throw UsageError("unexpected argument: " + arg);
        } else {
            options.plugin = arg;
        }
    }
    if (options.window && options.keys)
        throw UsageError("--keys and --window exclude each other");
    return options;
}

bool isDirectory(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A store that is not there would still open the menu, on a disk of 0 kB.
void requireStore(const std::string& store)
{
    struct stat st;
    if (stat(store.c_str(), &st) != 0)
        throw std::invalid_argument("no store at " + store + ": " + std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        throw std::invalid_argument("the store " + store + " is not a directory");
}

// Kernels without cramfs get our mount wrapper, which unpacks such images.
void useMountWrapperIfNeeded(const std::string& dir)
{
    std::ifstream filesystems("/proc/filesystems");
    std::string all((std::istreambuf_iterator<char>(filesystems)), std::istreambuf_iterator<char>());
    std::string wrappers = dir + "/pchost-bin";
    if (all.find("cramfs") != std::string::npos || !isDirectory(wrappers))
        return;
    const char* path = std::getenv("PATH");
    std::string newPath = wrappers + (path ? ":" + std::string(path) : "");
    setenv("PATH", newPath.c_str(), 1);
}

// Never waits: a pipe put there would take the line only once a reader
// came, and a device or link is no place for it.
void writeMountPoint(const std::string& store)
{
    std::string line = store + "\n";
    int fd = open("/tmp/org", O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644);
    struct stat st;
    bool written = fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    if (fd < 0 || close(fd) != 0 || !written)
        throw std::runtime_error("cannot write /tmp/org: it is no regular file, or cannot be written");
}

// The box's host always runs as root; on a PC the loop mounts fail without.
void noteWithoutRoot()
{
    if (geteuid() != 0)
        std::cerr << "nimbrel-host: not root: installing an image needs root for its loop mounts\n";
}

void setMountPoint(const std::string& store)
{
    if (store != "-")
        writeMountPoint(store);
    else if (unlink("/tmp/org") != 0 && errno != ENOENT)
        throw std::runtime_error(std::string("cannot remove /tmp/org: ") + std::strerror(errno));
}

int run(const Options& options)
{
    if (options.help) {
        std::cout << usage << help;
        return 0;
    }
    if (options.store)
        requireStore(*options.store);
    for (const std::string& store : options.reloads) {
        if (store != "-")
            requireStore(store);
    }
    noteWithoutRoot();
    // Its standard streams only where the host does not read or draw there.
    std::unique_ptr<BoxLikeProcess> box;
    if (options.box)
        box = std::make_unique<BoxLikeProcess>(*options.box, options.keys || options.window);
    if (options.keys) {
        pchost::startScript(*options.keys);
        pchost::setEcho(true);
    }
    std::string dir = pchost::executableDir();
    useMountWrapperIfNeeded(dir);
    if (options.store)
        writeMountPoint(*options.store);
    const std::string path = options.plugin.empty() ? dir + "/nimbrel.so" : options.plugin;
    std::optional<Plugin> plugin(std::in_place, path);
    // Taken only now, so that errors above are printed to a normal terminal;
    // given back when this returns or an exception leaves it.
    std::unique_ptr<pchost::WindowFrontEnd> window;
    std::unique_ptr<pchost::TerminalFrontEnd> terminal;
    if (options.window)
        window = std::make_unique<pchost::WindowFrontEnd>();
    else if (!options.keys)
        terminal = pchost::startTerminal();
    if (!options.keys && !options.window && !terminal)
        pchost::setKeySource(pchost::makeLineKeySource(std::cin, std::cout));
    plugin->exec();
    for (const std::string& store : options.reloads) {
        plugin.reset();
        setMountPoint(store);
        plugin.emplace(path);
        plugin->exec();
    }
    return 0;
}

} // namespace

// Every shell command of a plug-in passes here first (system, or fork or
// clone for one it starts itself), so that the screen can show what the
// plug-in is busy with while the command blocks it.
extern "C" int system(const char* command)
{
    pchost::beforeBlocking();
    using System = int (*)(const char*);
    static System real = reinterpret_cast<System>(dlsym(RTLD_NEXT, "system"));
    return real(command);
}

extern "C" pid_t fork()
{
    pchost::beforeBlocking();
    using Fork = pid_t (*)();
    static Fork real = reinterpret_cast<Fork>(dlsym(RTLD_NEXT, "fork"));
    return real();
}

// The optional arguments are read only where FLAGS name them, as the C
// library's own clone takes them; a thread's clone does not come here.
extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...)
{
    pchost::beforeBlocking();
    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    static Clone real = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
    void *parentTid = nullptr, *tls = nullptr, *childTid = nullptr;
    if (flags & (CLONE_PARENT_SETTID | CLONE_SETTLS | CLONE_CHILD_SETTID | CLONE_CHILD_CLEARTID)) {
        va_list rest;
        va_start(rest, arg);
        parentTid = va_arg(rest, void*);
        tls = va_arg(rest, void*);
        childTid = va_arg(rest, void*);
        va_end(rest);
    }
    return real(fn, stack, flags, arg, parentTid, tls, childTid);
}

int main(int argc, char** argv)
{
    try {
        return run(parseOptions(argc, argv));
    } catch (const UsageError& error) {
        std::cerr << "nimbrel-host: " << error.what() << "\n" << usage;
        return 2;
    } catch (const std::invalid_argument& error) {
        std::cerr << "nimbrel-host: " << error.what() << "\n";
        return 2;
    } catch (const pchost::ScriptExhausted& error) {
        std::cout.flush();
        std::cerr << "nimbrel-host: " << error.what() << "\n";
        return 3;
    } catch (const std::exception& error) {
        std::cerr << "nimbrel-host: " << error.what() << "\n";
        return 1;
    }
}
