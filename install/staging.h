#pragma once
#include <optional>

#include "host/estring.h"
#include "store/shell.h"

// Where an installation works before its slot exists: /tmp/image, on which
// the image is mounted, and a scratch directory beside the slots.

// Makes /tmp/image ready to mount on: a directory of its own (made when
// missing) with nothing mounted on it; a mount that a stopped run left
// there is unmounted, once its last users let go of it or, after a few
// seconds, lazily. False, with nothing changed, when it is a link or no
// directory, or the old mount does not go.
bool mountPointReady();

// Runs LINE, a mount or umount of /tmp/image, given mountLimitMs to end: a
// mount on a dying disk may never end, and then counts as failed.
bool runMount(const eString& line);
constexpr int mountLimitMs = 120000;  // room for a slow box and a large cramfs unpacked by the PC's stand-in

// Unmounts what is mounted on /tmp/image. False when that fails (a busy
// mount, or none there).
bool unmountImage();

// unmountImage's command, started into UNMOUNT: it succeeded when its end()
// is Succeeded.
void startUnmount(std::optional<StartedCommand>& unmount);

// The scratch directory's name under image/ for slot NR, ".install-NR": no
// slot scan looks at it, so a half-made slot there is never listed.
eString scratchName(const eString& nr);

// Where an installation into slot NR cuts the squashfs part out when mount
// cannot take an offset: "MPOINT/.cut-NR", a name that no slot scan nor
// the list of image files takes, so it is never a file of the user's.
eString cutPath(const eString& nr);

// Removes what stopped installations and renames left in the store, and
// nothing else: image/.install-N, the cut .cut-N, the checked image's
// name .checked-N and Image.info.new in
// the slot directories image/0 .. image/9 (not through links). Best effort.
void removeLeftovers();
