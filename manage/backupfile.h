#pragma once
#include "host/estring.h"

// The files of one backup while it is written. Until publish() they carry
// names no listing takes for an image file (no ".img" in them); whatever
// of them is left when it goes goes with it: the scratch tree of links to
// the slot's files and the partial image and checksum files not renamed.
class BackupFile {
public:
    BackupFile(int slot, const eString& path);
    ~BackupFile();
    BackupFile(const BackupFile&) = delete;
    BackupFile& operator=(const BackupFile&) = delete;

    eString path;     // the image file's final name
    eString dir;      // the directory it goes into
    eString name;     // its name in DIR
    eString partial;  // the image file as it is written, beside it
    eString scratch;  // in the store, on the slot's file system
};

// Removes what a killed backup left in the store: scratch trees (which hold
// erased slots' data through their links) and partial files.
void removeBackupLeftovers();

// Writes a cramfs of one file naming the slot's NAME at the start of the
// partial image file, where mksquashfs left room: a head without bin,
// which makes it a two-part image.
bool writeHead(const BackupFile& file, const eString& name);

// What the process whose PID the file PID_FILE holds has read so far (its
// rchar in /proc), 0 when that cannot be told (no such file, an older
// kernel without it).
long long bytesRead(const eString& pidFile);

// Writes FILE.md5 and FILE.sha256 as md5sum and sha256sum do, makes them
// and the image file durable together and puts them in the place of an
// older backup's: its checksum files go, the image file is renamed, then
// its checksum files are. At every instant, also after a power cut, FILE
// is the old backup or the new one, either with its own checksum files or
// none (which an installation takes unchecked), never with the other's.
bool publish(BackupFile& file, const eString& md5, const eString& sha256);
