#!/bin/sh
# scripts/make-image: the layout of single-part and two-part images.
set -eu
maker=$NIMBREL_SOURCE/scripts/make-image
work=$(mktemp -d /tmp/image-maker.XXXXXX)
cd "$work"
. "$NIMBREL_SOURCE/tests/check.sh"
# FILE DIR: unpacks the squashfs part of FILE, or when it has none its cramfs, into DIR.
unpack() {
    dd if="$1" of="$1.sqfs" bs=512 skip=2304 status=none
    unsquashfs -d "$2" "$1.sqfs" >/dev/null 2>&1 || fsck.cramfs --extract="$2" "$1" >/dev/null 2>&1
}

"$maker" --size 2048 one.img
unpack one.img one
check "single-part: the tree in a cramfs, named" test "$(cat one/etc/image-name)" = one.img
check "rcS: jffs2 mounts in both forms, other lines" test "$(grep -cxE \
    '(/bin/)?mount -t (jffs2 /dev/mtdblock/[23] /var(/tuxbox)?|proc proc /proc)' one/etc/init.d/rcS)" = 3
check "random payload does not pack" test "$(stat -c %s one.img)" -gt 2000000

"$maker" --two-part --size 1024 --fill zero two.img
fsck.cramfs --extract=head two.img >/dev/null 2>&1
unpack two.img two
check "two-part: a cramfs without bin, the tree in a squashfs at byte 1179648" \
    test -f head/README -a ! -e head/bin -a -f two/var_init/tmp/init
check "zero payload packs small, unpacks whole" \
    test "$(stat -c %s two.img)" -lt 1500000 -a "$(stat -c %s two/bin/payload)" = 1048576

"$maker" --tree given
ln -s /etc given/etc-link
before=$(find given | sort)
"$maker" --from given given.img
unpack given.img gx
check "a given tree is left as it is, its links stay links" \
    test "$(find given | sort)" = "$before" -a "$(readlink gx/etc-link)" = /etc
check "unknown options are refused" sh -c '"$0" --bogus x.img 2>/dev/null; test $? = 2' "$maker"

cd /
rm -rf "$work"
finish
