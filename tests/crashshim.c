/* Preloaded into nimbrel-host or nimbrel by the crash tests. NIMBREL_CRASH_AT=K kills
 * the host's process group, as a power switch would (or sends it the signal
 * NIMBREL_CRASH_SIGNAL, such as 2 for Ctrl-C), right before its K-th call
 * that changes files: a shell command (a clone, a fork, or a command sent to
 * a shell that runs one after another), a sync, a rename or a removal.
 * NIMBREL_FULL=NAME fails every write into, rename onto and sync of a file
 * called NAME as a full disk would (with the errno NIMBREL_ERRNO, if
 * set, such as 5 for EIO), and every shell command whose last word names
 * it, which then exits with 1. NIMBREL_SLOW=NAME makes each read from a
 * file called NAME wait a fifth of a second, as a slow disk would.
 * NIMBREL_BARRIERS=FILE writes into FILE, at the host's end, how many of its
 * calls forced data to the disk (fsync, fdatasync, syncfs, sync, an open
 * with O_SYNC or O_DSYNC); NIMBREL_FAIL_BARRIER=K fails the K-th fsync,
 * fdatasync or syncfs among them. Other programs run without it. */
#define _GNU_SOURCE
/* open and open64 are caught apart: with 64-bit offsets open would be open64. */
#undef _FILE_OFFSET_BITS
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <stdarg.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>
static long crashAt, steps, barriers, failBarrier;
static int crashSignal = SIGKILL;
static int error = ENOSPC;
static char full[256], slow[256], counted[256];  /* NAME, FILE */
/* Looked up before any command: a command's child, which shares the host's
 * memory until its exec, calls them and must not call dlsym. */
static int (*realExecve)(const char*, char* const[], char* const[]);
static int (*realOpen)(const char*, int, ...);
#ifndef __LP64__
static int (*realOpen64)(const char*, int, ...);
#endif

__attribute__((constructor)) static void setUp(void)
{
    realExecve = (__typeof__(realExecve))dlsym(RTLD_NEXT, "execve");
    realOpen = (__typeof__(realOpen))dlsym(RTLD_NEXT, "open");
#ifndef __LP64__
    realOpen64 = (__typeof__(realOpen64))dlsym(RTLD_NEXT, "open64");
#endif
    if (strcmp(program_invocation_short_name, "nimbrel-host") != 0 &&
        strcmp(program_invocation_short_name, "nimbrel") != 0)
        return;
    const char* at = getenv("NIMBREL_CRASH_AT");
    crashAt = at ? atol(at) : 0;
    crashSignal = getenv("NIMBREL_CRASH_SIGNAL") ? atoi(getenv("NIMBREL_CRASH_SIGNAL")) : SIGKILL;
    snprintf(full, sizeof full, "%s", getenv("NIMBREL_FULL") ? getenv("NIMBREL_FULL") : "");
    snprintf(slow, sizeof slow, "%s", getenv("NIMBREL_SLOW") ? getenv("NIMBREL_SLOW") : "");
    error = getenv("NIMBREL_ERRNO") ? atoi(getenv("NIMBREL_ERRNO")) : ENOSPC;
    failBarrier = getenv("NIMBREL_FAIL_BARRIER") ? atol(getenv("NIMBREL_FAIL_BARRIER")) : 0;
    snprintf(counted, sizeof counted, "%s", getenv("NIMBREL_BARRIERS") ? getenv("NIMBREL_BARRIERS") : "");
    unsetenv("LD_PRELOAD");
}

__attribute__((destructor)) static void tellBarriers(void)
{
    FILE* file = counted[0] ? fopen(counted, "w") : NULL;
    if (file)
        fprintf(file, "%ld\n", barriers), fclose(file);
}

/* Whether PATH, less its last SKIP characters, ends in "/NAME" (or "'NAME"). */
static int named(const char* path, size_t skip, const char* name)
{
    size_t length = strlen(path), tail = strlen(name);
    if (!name[0] || length <= tail + skip)
        return 0;
    const char* at = path + length - skip - tail;
    return memcmp(at, name, tail) == 0 && (at[-1] == '/' || at[-1] == '\'');
}

static int namedFd(int fd, const char* name)
{
    char link[64], path[4096] = "";
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    return name[0] && readlink(link, path, sizeof path - 1) > 0 && named(path, 0, name);
}

/* Values are quoted, so a line naming a file last ends in "NAME'". */
static int namedLast(const char* line)
{
    return named(line, 1, full) && line[strlen(line) - 1] == '\'';
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))
#define STEP (++steps == crashAt ? kill(0, crashSignal) : 0)
#define FAIL (errno = error, -1)
pid_t fork(void) { return STEP, NEXT(fork)(); }
/* The group shell's start passes no optional argument. */
int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...)
{
    return STEP, NEXT(clone)(fn, stack, flags, arg);
}
/* In the command's child: its shell's script, the last word, holds the line
 * up to the newline that closes its group. */
int execve(const char* path, char* const argv[], char* const envp[])
{
    static char* const failing[] = {"sh", "-c", "exit 1", NULL};
    size_t last = 0;
    while (argv[last] && argv[last + 1])
        ++last;
    char line[4096] = "";
    const char* end = argv[0] ? strstr(argv[last], "\n} 3>&-") : NULL;
    if (end && (size_t)(end - argv[last]) < sizeof line)
        memcpy(line, argv[last], (size_t)(end - argv[last]));
    return (realExecve ? realExecve : NEXT(execve))(path, namedLast(line) ? failing : argv, envp);
}
/* A command sent to a shell that reads its script: the same text, at the
 * start of the send. */
ssize_t send(int fd, const void* data, size_t size, int flags)
{
    const char* text = data;
    const char* end = size > 2 && memcmp(text, "{ ", 2) == 0 ? memmem(text, size, "\n} 3>&-", 7) : NULL;
    if (!end)
        return NEXT(send)(fd, data, size, flags);
    STEP;
    char line[4096] = "", failing[4096];
    if ((size_t)(end - text) < sizeof line)
        memcpy(line, text, (size_t)(end - text));
    int length = snprintf(failing, sizeof failing, "{ exit 1%.*s", (int)(text + size - end), end);
    if (!namedLast(line) || length >= (int)sizeof failing)
        return NEXT(send)(fd, data, size, flags);
    return NEXT(send)(fd, failing, (size_t)length, flags) == length ? (ssize_t)size : -1;
}
#define BARRIER(fd) (STEP, ++barriers == failBarrier || namedFd(fd, full))
int fsync(int fd) { return BARRIER(fd) ? FAIL : NEXT(fsync)(fd); }
/* A kernel without syncfs answers ENOSYS: the caller's sync() then counts. */
int syncfs(int fd)
{
    if (BARRIER(fd))
        return FAIL;
    int done = NEXT(syncfs)(fd);
    barriers -= done != 0 && errno == ENOSYS;
    return done;
}
int fdatasync(int fd) { return BARRIER(-1) ? FAIL : NEXT(fdatasync)(fd); }
void sync(void) { STEP, ++barriers, NEXT(sync)(); }
/* A mode comes only where open may make a file. Counted without a write
 * otherwise: the command's child opens too. Another library's constructor
 * may open before setUp. */
#define OPENED(real, name) va_list more; va_start(more, flags); \
    mode_t mode = flags & (O_CREAT | __O_TMPFILE) ? va_arg(more, mode_t) : 0; va_end(more); \
    if (flags & (O_SYNC | O_DSYNC)) \
        ++barriers; \
    return (real ? real : NEXT(name))(path, flags, mode);
int open(const char* path, int flags, ...) { OPENED(realOpen, open) }
#ifndef __LP64__ /* where 64-bit offsets take calls of their own */
int open64(const char* path, int flags, ...) { OPENED(realOpen64, open64) }
#endif
int rename(const char* from, const char* to) { return STEP, named(to, 0, full) ? FAIL : NEXT(rename)(from, to); }
int renameat(int in, const char* from, int into, const char* to)
{ return STEP, named(to, 0, full) ? FAIL : NEXT(renameat)(in, from, into, to); }
int remove(const char* path) { return STEP, NEXT(remove)(path); }
int unlink(const char* path) { return STEP, NEXT(unlink)(path); }
int unlinkat(int dir, const char* path, int flags) { return STEP, NEXT(unlinkat)(dir, path, flags); }
ssize_t write(int fd, const void* data, size_t size) { return namedFd(fd, full) ? FAIL : NEXT(write)(fd, data, size); }
ssize_t read(int fd, void* data, size_t n) { return (namedFd(fd, slow) ? usleep(200000) : 0), NEXT(read)(fd, data, n); }
