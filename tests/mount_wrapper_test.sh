#!/bin/sh
# pchost/mount: cramfs images mounted on a kernel without cramfs, every other
# mount passed on.
set -eu
wrapper=$NIMBREL_BUILD/pchost-bin/mount
work=$(mktemp -d /tmp/mount-wrapper.XXXXXX)
cd "$work"
. "$NIMBREL_SOURCE/tests/check.sh"
status() { "$wrapper" "$@" >/dev/null 2>&1 && echo 0 || echo $?; }
# What is left: a mount on mnt, scratch directories of the wrapper.
leftovers() { mountpoint -q mnt && echo mounted; ls -d /tmp/cramfs.* 2>/dev/null; true; }
"$NIMBREL_SOURCE/scripts/make-image" one.img
"$NIMBREL_SOURCE/scripts/make-image" --two-part two.img
dd if=two.img of=root.sqfs bs=512 skip=2304 status=none
mkdir mnt

check "cramfs mounts" test "$(status -t cramfs "$work/one.img" mnt -o loop)" = 0
check "read-only, with its tree" sh -c 'test -f mnt/bin/sh && ! touch mnt/new 2>/dev/null'
umount mnt
check "unmounted, nothing is left" test -z "$(leftovers)"
check "a squashfs is no cramfs: 32, nothing left" \
    test "$(status -t cramfs root.sqfs mnt -o loop)$(leftovers)" = 32
check "a missing file: 32" test "$(status -t cramfs nothere.img mnt -o loop)" = 32
check "other mounts pass on" test "$(status -t squashfs root.sqfs mnt -o loop)" = 0 -a -f mnt/bin/sh
umount mnt

cd /
rm -rf "$work"
finish
