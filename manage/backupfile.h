#pragma once
#include "host/estring.h"

// The files of one backup while it is written. Until publish() they carry
// names no listing takes for an image file (no ".img" in them); whatever
// of them is left when it goes, published or not, goes with it: the
// scratch tree of links to the slot's files and, unpublished, the partial
// image and checksum files.
class BackupFile {
public:
    BackupFile(int slot, const eString& path);
    ~BackupFile();
    BackupFile(const BackupFile&) = delete;
    BackupFile& operator=(const BackupFile&) = delete;

    eString path;     // the image file's final name
    eString dir;      // the directory it goes into
    eString partial;  // the image file as it is written, beside it
    eString scratch;  // in the store, on the slot's file system
    bool published = false;
};

// Removes what a killed backup left in the store: scratch trees (which hold
// erased slots' data through their links) and partial files.
void removeBackupLeftovers();

// Makes ROOT a tree of hard links to slot SLOT's entries (links as links):
// the slot's data is not copied, and not changed when ROOT is.
bool linkSlotTree(int slot, const eString& root);

// Turns the slot's tree ROOT back into its image's: var becomes var_init,
// rcS_org rcS again; go and the slot's files of ours go. Only ROOT's own
// entries change, never a file they link to.
void undoInstallation(const eString& root);

// Writes a cramfs of one file naming the slot's NAME at the start of the
// partial image file, where mksquashfs left room: a head without bin,
// which makes it a two-part image.
bool writeHead(const BackupFile& file, const eString& name);

// What the process whose PID the file PID_FILE holds has read so far (its
// rchar in /proc), 0 when that cannot be told (no such file, an older
// kernel without it).
long long bytesRead(const eString& pidFile);

// Writes FILE.md5 and FILE.sha256 as md5sum and sha256sum do, makes them
// and the image file durable together and renames them into place, the
// image file last.
bool publish(BackupFile& file, const eString& md5, const eString& sha256);
