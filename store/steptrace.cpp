#include "store/steptrace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#include "store/descriptor.h"

void markStep(const char* step)
{
    const char* path = std::getenv("NIMBREL_STEP_TRACE");
    if (!path || !*path)
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    char line[96];
    int size = std::snprintf(line, sizeof line, "%s %lld\n", step,
        static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    // One write of the whole line with O_APPEND: the commands the run
    // starts may trace into the same file.
    Descriptor fd(closeOnExec(open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644)));
    if (fd && size > 0 && size < static_cast<int>(sizeof line))
        (void)!write(fd.get(), line, static_cast<size_t>(size));
}
