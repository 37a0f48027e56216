#pragma once
#include "host/estring.h"
#include "store/descriptor.h"

// The image file of an installation as it was opened for its checks, under
// a name of the installation's own in the store (a hard link): the checks,
// the mounts and the cut all read that name, so a file put in the image
// file's place meanwhile (a download finishing, another machine writing
// to a network disk) is never installed unchecked. The name goes with the
// object; one that a killed run left goes with removeLeftovers.
class CheckedImage {
public:
    // Links FILE of the store, if it is a regular file opened without
    // waiting, to checkedPath(NR), over any leftover there.
    CheckedImage(const eString& file, const eString& nr);
    ~CheckedImage();
    CheckedImage(const CheckedImage&) = delete;
    CheckedImage& operator=(const CheckedImage&) = delete;

    // False when FILE was no regular file or could not be linked.
    bool linked() const;
    const eString& path() const;
    // Removes the name at once (once the image is copied: the sync that
    // makes the slot durable then takes its removal to the disk too).
    void unlinkNow();
    // Whether FILE of the store is still the file that was checked: only
    // that one may be removed once it is installed.
    bool stillAt(const eString& file) const;

private:
    eString link;
    Descriptor opened;
    bool made = false;
};

// "MPOINT/.checked-NR": a name that no slot scan nor the list of image
// files takes, so it is never a file of the user's.
eString checkedPath(const eString& nr);
