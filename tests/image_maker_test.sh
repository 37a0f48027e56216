#!/bin/sh
# scripts/make-image: the layout of single-part and two-part images; the
# cramfs stand-in (build/pchost-bin/mount, from pchost/cramfs/cramfsmount.cpp), which
# mounts them as cramfs on a kernel without one and passes other mounts on.
set -eu
maker=$NIMBREL_SOURCE/scripts/make-image
wrapper=$NIMBREL_BUILD/pchost-bin/mount
work=$(mktemp -d /tmp/image-maker.XXXXXX)
cd "$work"
. "$NIMBREL_SOURCE/tests/check.sh"
# FILE DIR: unpacks the squashfs part of FILE, or when it has none its cramfs, into DIR.
unpack() {
    dd if="$1" of="$1.sqfs" bs=512 skip=2304 status=none
    unsquashfs -d "$2" "$1.sqfs" >/dev/null 2>&1 || fsck.cramfs --extract="$2" "$1" >/dev/null 2>&1
}
status() { "$wrapper" "$@" >/dev/null 2>&1 && echo 0 || echo $?; }
# What is left: a mount on mnt, scratch directories of the wrapper.
leftovers() { mountpoint -q mnt && echo mounted; ls -d /tmp/cramfs.* 2>/dev/null; true; }

"$maker" --size 2048 one.img
unpack one.img one
check "single-part: the tree in a cramfs, named, random payload" test "$(cat one/etc/image-name)" = one.img \
    -a "$(stat -c %s one.img)" -gt 2000000
check "rcS: jffs2 mounts in both forms, other lines" test "$(grep -cxE \
    '(/bin/)?mount -t (jffs2 /dev/mtdblock/[23] /var(/tuxbox)?|proc proc /proc)' one/etc/init.d/rcS)" = 3
"$maker" --two-part --size 1024 --fill zero two.img
fsck.cramfs --extract=head two.img >/dev/null 2>&1
unpack two.img two
check "two-part: a cramfs without bin, the tree in a squashfs at byte 1179648, zeros pack" \
    test -f head/README -a ! -e head/bin -a -f two/var_init/tmp/init -a "$(stat -c %s two.img)" -lt 1500000 \
    -a "$(stat -c %s two/bin/payload)" = 1048576
"$maker" --tree given
ln -s /etc given/etc-link
before=$(find given | sort)
"$maker" --from given given.img
unpack given.img gx
check "a given tree is left as it is, its links stay links" \
    test "$(find given | sort)" = "$before" -a "$(readlink gx/etc-link)" = /etc
mkdir -p huge/bin && truncate -s 16777216 huge/bin/big
check "a file over 16 MB, which a cramfs would cut short, refused by name; no image made" eval \
    '! "$maker" --from huge huge.img 2>err && grep -q "^make-image: huge/bin/big is over 16 MB" err && [ ! -e huge.img ]'

mkdir mnt
check "mount: a cramfs read-only, with its tree; unmounted, nothing left" eval '[ "$(status -t cramfs \
    "$work/one.img" mnt -o loop)" = 0 ] && [ -f mnt/bin/sh ] && ! touch mnt/new 2>/dev/null && umount mnt && [ -z "$(leftovers)" ]'
check "mount: a squashfs or a missing file is no cramfs: 32, nothing left" test \
    "$(status -t cramfs two.img.sqfs mnt -o loop)$(leftovers)$(status -t cramfs nothere.img mnt -o loop)" = 3232
check "mount: other mounts pass on" eval '[ "$(status -t squashfs two.img.sqfs mnt -o loop)" = 0 ] && [ -f mnt/bin/sh ] && umount mnt'
cd /
rm -rf "$work"
finish
