/* Preloaded into nimbrel-host by the crash tests. NIMBREL_CRASH_AT=K kills
 * the host's process group, as a power switch would, right before its K-th
 * call that changes files: a shell command, a sync, a rename or a removal.
 * NIMBREL_FULL=NAME fails every write into a file called NAME as a full
 * disk would. Other programs run without it. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
static long crashAt, steps;
static char full[256];

__attribute__((constructor)) static void setUp(void)
{
    if (strcmp(program_invocation_short_name, "nimbrel-host") != 0)
        return;
    const char* at = getenv("NIMBREL_CRASH_AT");
    crashAt = at ? atol(at) : 0;
    snprintf(full, sizeof full, "/%s", getenv("NIMBREL_FULL") ? getenv("NIMBREL_FULL") : "");
    unsetenv("LD_PRELOAD");
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))
#define STEP (++steps == crashAt ? kill(0, SIGKILL) : 0)
int system(const char* line) { return STEP, NEXT(system)(line); }
int fsync(int fd) { return STEP, NEXT(fsync)(fd); }
int syncfs(int fd) { return STEP, NEXT(syncfs)(fd); }
int rename(const char* from, const char* to) { return STEP, NEXT(rename)(from, to); }
int remove(const char* path) { return STEP, NEXT(remove)(path); }
int unlink(const char* path) { return STEP, NEXT(unlink)(path); }
int unlinkat(int dir, const char* path, int flags) { return STEP, NEXT(unlinkat)(dir, path, flags); }

ssize_t write(int fd, const void* data, size_t size)
{
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t length = full[1] ? readlink(link, path, sizeof path - 1) : -1, tail = strlen(full);
    if (length >= tail && memcmp(path + length - tail, full, tail) == 0)
        return errno = ENOSPC, -1;
    return NEXT(write)(fd, data, size);
}
