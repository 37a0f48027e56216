#pragma once
#include <sys/stat.h>
#include <cstdint>
#include <string>

#include "host/estring.h"
#include "store/descriptor.h"

// Writing the store so that a power cut or a kill at any instant leaves
// either the old state or the new one on the disk.

// Removes PATH with everything below it, as rm -rf does; a link is removed
// itself, never followed. True when nothing stands at PATH afterwards.
bool removeTree(const eString& path);

// Removes whatever stands at PATH (a leftover of a stopped run, a link, a
// pipe) and creates an empty file there for writing, never through a link,
// close-on-exec. Empty when either step fails.
Descriptor createFresh(const eString& path);

// Creates PATH afresh with CONTENT and MODE; every write and the close are
// checked. On failure nothing of it stays. It reaches the disk with the next
// sync of its file system (syncFileSystem): callers write all they can
// before one barrier rather than sync file by file.
bool writeFreshFile(const eString& path, const std::string& content, unsigned mode);

// Reads the whole of PATH, following a link, into CONTENT and gives its
// permission bits in MODE. False when it cannot be read to its end, is no
// regular file, or holds more than LIMIT bytes.
bool readWholeFile(const eString& path, std::string& content, unsigned& mode, size_t limit = SIZE_MAX);

// Whether PATH, following a link, is a regular file that opens for reading.
// It is opened without waiting: a pipe or a device there never stops the
// run, and is no such file.
bool isReadableFile(const eString& path);

// PATH opened for reading without waiting, with its status in ST; closed
// (false) unless it is a regular file: a pipe or a device there must not
// stop the run.
Descriptor openRegularFile(const eString& path, struct stat& st);

// Makes directory PATH with exactly MODE, whatever the umask of the host:
// the boot side and the images find the same modes on every box. False
// when it cannot be made (it is there already, say).
bool makeDirectory(const eString& path, unsigned mode);

// Makes the entries of directory PATH durable: files made, renamed or
// removed in it.
bool syncDirectory(const eString& path);

// Writes everything of the file system that holds PATH to the disk: a
// barrier. Where the kernel has no syncfs (before Linux 2.6.39), sync()
// writes every file system, and waits for it as syncfs does.
bool syncFileSystem(const eString& path);

// Starts writing SIZE bytes of FD from OFFSET to the disk and returns at
// once: a long write's closing fsync then finds most of it there, and the
// box's few MB of RAM never fill with its dirty pages. Only a hint: a
// kernel without the call (before 2.6.17) or a file system that ignores it
// leaves everything to the fsync, which stays the barrier.
void startWriteback(int fd, long long offset, long long size);

// Allocates the blocks of FD's first SIZE bytes ahead of a long write of
// known length, leaving its size as it is: the write then only fills them,
// which on ext4 costs the writer less than allocating as it goes. Only a
// hint: before 2.6.23, and on ext2 or ext3, nothing is allocated.
void reserveBlocks(int fd, long long size);

// PATH with every link and ".." resolved; empty when it cannot be told.
eString realPathOf(const eString& path);
