#!/bin/sh
# scripts/make-image: the layout of single-part and two-part images.
set -eu
maker=$NIMBREL_SOURCE/scripts/make-image
work=$(mktemp -d /tmp/image-maker.XXXXXX)
cd "$work"
. "$NIMBREL_SOURCE/tests/check.sh"
extract() {  # FILE DIR: the cramfs at the start of FILE
    fsck.cramfs --extract="$2" "$1" >/dev/null 2>&1
}
size() {
    stat -c %s "$1"
}

"$maker" one.img
check "single-part image is a cramfs" extract one.img one
check "root tree has bin/" test -f one/bin/sh
check "rcS has the full-path jffs2 mount" grep -qx '/bin/mount -t jffs2 /dev/mtdblock/2 /var' one/etc/init.d/rcS
check "rcS has the short jffs2 mount" grep -qx 'mount -t jffs2 /dev/mtdblock/3 /var/tuxbox' one/etc/init.d/rcS
check "rcS has ordinary lines" grep -qx '/bin/mount -t proc proc /proc' one/etc/init.d/rcS
check "root tree has var/" test -d one/var
check "var_init has tmp/init" test -f one/var_init/tmp/init
check "var_init has the settings directory" test -d one/var_init/tuxbox/config/enigma
check "the image names itself" test "$(cat one/etc/image-name)" = one.img

"$maker" --two-part two.img
check "two-part head is a cramfs" extract two.img head
check "two-part head has no bin/" test ! -e head/bin
check "squashfs starts at byte 1179648" test "$(dd if=two.img bs=512 skip=2304 count=1 status=none | head -c 4)" = hsqs
dd if=two.img of=tail.sqfs bs=512 skip=2304 status=none
check "squashfs part holds the root tree" sh -c 'unsquashfs -d tree tail.sqfs && test -f tree/bin/sh && test -f tree/var_init/tmp/init && cmp tree/etc/init.d/rcS one/etc/init.d/rcS'

"$maker" --size 2048 big.img
check "random payload makes a large image" test "$(size big.img)" -gt 2000000
"$maker" --size 2048 --fill zero zeros.img
check "zero payload packs small" test "$(size zeros.img)" -lt 500000
check "zero payload unpacks whole" sh -c 'fsck.cramfs --extract=zeros zeros.img; test "$(stat -c %s zeros/bin/payload)" = 2097152'
"$maker" --two-part --size 1024 bigtwo.img
check "two-part payload lies in the squashfs" sh -c 'dd if=bigtwo.img of=big.sqfs bs=512 skip=2304 status=none && unsquashfs -d bigtree big.sqfs && test "$(stat -c %s bigtree/bin/payload)" = 1048576'

"$maker" --tree given
ln -s /etc given/etc-link
before=$(find given | sort)
"$maker" --from given given.img
check "a given tree is left as it is" test "$(find given | sort)" = "$before"
check "links of a given tree stay links" sh -c 'fsck.cramfs --extract=gx given.img; test "$(readlink gx/etc-link)" = /etc'

check "unknown options are refused" sh -c '"$0" --bogus x.img; test $? = 2' "$maker"

cd /
rm -rf "$work"
finish
