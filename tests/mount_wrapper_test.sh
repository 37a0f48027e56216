#!/bin/sh
# pchost/mount: cramfs images mounted on a kernel without cramfs, every other
# mount passed on.
set -eu
wrapper=$NIMBREL_BUILD/pchost-bin/mount
work=$(mktemp -d /tmp/mount-wrapper.XXXXXX)
cd "$work"
. "$NIMBREL_SOURCE/tests/check.sh"
status() {  # the exit status of the command
    "$@" >/dev/null 2>&1 && echo 0 || echo $?
}
leftovers() {  # scratch directories of the wrapper
    ls -d /tmp/cramfs.* 2>/dev/null | wc -l
}

check "installed executable in the build" test -x "$wrapper"
if grep -qw cramfs /proc/filesystems; then
    echo "kernel has cramfs: the wrapper only passes mounts on"
fi
"$NIMBREL_SOURCE/scripts/make-image" one.img
"$NIMBREL_SOURCE/scripts/make-image" --two-part two.img
dd if=two.img of=root.sqfs bs=512 skip=2304 status=none
mkdir mnt

check "cramfs mounts" "$wrapper" -t cramfs "$work/one.img" mnt -o loop
check "its tree is there" test -f mnt/bin/sh
check "read-only" sh -c '! touch mnt/new'
check "a mount point" mountpoint -q mnt
check "unmounts" umount mnt
check "nothing left mounted" sh -c '! mountpoint -q mnt'
check "no scratch left" test "$(leftovers)" = 0

check "head of a two-part image mounts" "$wrapper" -t cramfs two.img mnt -o loop
check "it has no bin" test ! -e mnt/bin
umount mnt

check "a squashfs is no cramfs: 32" test "$(status "$wrapper" -t cramfs root.sqfs mnt -o loop)" = 32
check "after a refusal nothing is mounted" sh -c '! mountpoint -q mnt'
check "after a refusal no scratch is left" test "$(leftovers)" = 0
check "a missing file: 32" test "$(status "$wrapper" -t cramfs nothere.img mnt -o loop)" = 32

check "other mounts pass on" "$wrapper" -t squashfs root.sqfs mnt -o loop
check "the squashfs tree is there" test -f mnt/bin/sh
umount mnt

cd /
rm -rf "$work"
finish
