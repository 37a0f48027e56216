#pragma once
#include <optional>

#include "host/estring.h"
#include "store/outcome.h"

// The refusal for too little room on the store's medium: "no Space !!!"
// and a line for each of what is short, the KILOBYTES needed ("Memory < N
// kB") and the FILES needed against FREE_FILES ("Files < N (M free)"); 0
// for what is not short.
Outcome noSpace(long long kilobytes, long long files = 0, unsigned long long freeFiles = 0);

// What a copy of a tree takes on the store.
struct TreeNeeds {
    long long kilobytes = 0;
    long long inodes = 0;
};

// Estimates what a copy of the tree under DIR takes on an ext2, ext3 or
// ext4 file system of BLOCK-byte blocks: each file the blocks it occupies
// (a sparse file only those, as cp keeps its holes) and the blocks that
// map them, each directory the blocks its entries fill, each link too long
// to live in its inode a block, and an inode each. Files linked more than
// once count once, as cp -d keeps such links. Links are not followed.
TreeNeeds treeNeeds(const eString& dir, long long block);

// What the tree mounted on /tmp/image takes on the store, counted in the
// store's block size BLOCK.
struct MountedTree {
    TreeNeeds needs;
    long long block = 4096;
};

// When the tree mounted on /tmp/image needs more than the free space of the
// store, or more inodes than it has free: the refusal naming what it needs
// of what is short; the tree stays mounted. Empty when the tree fits. TREE
// gets what was measured.
std::optional<Outcome> refuseWhenFull(MountedTree& tree);

// Free space of the file system holding PATH in kB, 0 when it cannot be
// measured; measuredFreeKilobytes tells the latter apart.
long long freeKilobytes(const eString& path);
std::optional<long long> measuredFreeKilobytes(const eString& path);
// Free blocks of BLOCK_SIZE bytes in kB, without overflow.
long long blocksToKilobytes(unsigned long long blocks, unsigned long long blockSize);
