#pragma once
#include <optional>

#include "host/estring.h"
#include "store/outcome.h"

// The refusal for too little room on the store's medium, naming the kB
// that would have been needed.
Outcome noSpace(long long kilobytes);

// kB that a copy of the tree under DIR takes on a file system of BLOCK-byte
// blocks: each file rounded up to whole blocks (files linked more than once
// counted once, as cp -d keeps such links), one block for each directory and
// for each link too long to live in its inode. Links are not followed.
long long treeKilobytes(const eString& dir, long long block);

// When the tree mounted on /tmp/image needs more than the free space of the
// store: unmounts it, removes the squashfs part cut out for it when CUT, and
// returns the refusal naming the kB it needs. Empty when the tree fits.
std::optional<Outcome> refuseWhenFull(bool cut);

// Free space of the file system holding PATH in kB, 0 when it cannot be
// measured.
long long freeKilobytes(const eString& path);
// Free blocks of BLOCK_SIZE bytes in kB, without overflow.
long long blocksToKilobytes(unsigned long long blocks, unsigned long long blockSize);
