#!/bin/bash
# scripts/make-demo-store: the store it makes, its boot tools at work, and
# its refusal to write into a directory that holds anything. Runs inside
# ns-run, so /tmp is this test's own.
set -u
make_store="$NIMBREL_SOURCE/scripts/make-demo-store"
. "$NIMBREL_SOURCE/tests/check.sh"
# The 4 bytes at OFFSET of FILE in hex.
bytes_at() { od -An -tx1 -j "$2" -N 4 "$1" 2>/dev/null | tr -d ' \n'; }

store=/tmp/demo
check "makes a store, prints its path" test "$("$make_store" $store)" = $store
check "boot tools of mode 755" test "$(stat -c %a $store/tools/*)" = "$(printf '755\n%.0s' 1 2 3 4)"
check "two image files, no slots, no boot menu" test "$(cd $store && echo * tools/*)" = \
    "single-part.img tools two-part.img tools/chroot tools/du tools/go tools/menu.org"
# A cramfs begins with 0x28cd3d45; a squashfs ("hsqs") follows at block 2304 of 512 bytes.
check "a single-part and a two-part image" test "$(bytes_at $store/single-part.img 0) \
$(bytes_at $store/two-part.img 0) $(bytes_at $store/two-part.img 1179648)" = "453dcd28 453dcd28 68737173"
check "du: size in kB, tab, path" test "$($store/tools/du -s $store/tools)" = "$(du -sk $store/tools)"

# The boot menu head sets RC from its first argument (0 without one) and
# mpoint to the store, however the script is called.
cp $store/tools/menu.org $store/tools/menu
echo 'echo "$RC $mpoint"' >>$store/tools/menu
check "menu head: RC and mpoint" test "$(cd / && $store/tools/menu 2; cd $store/tools && ./menu 7; sh menu)" = \
    "$(printf '2 %s\n7 %s\n0 %s' $store $store $store)"

# A tiny root file system (the host's /bin/sh with its libraries) in slot
# 0, booted the way the generated boot menu does it: the boot menu line
# runs tools/chroot, which runs ../go inside the slot, which runs rcS.
slot=$store/image/0
mkdir -p "$slot/etc/init.d"
cp --parents /bin/sh $(ldd /bin/sh | grep -o '/[^ ]*') "$slot"
printf '#!/bin/sh\necho "booted in $PWD" >>/booted\n' >"$slot/etc/init.d/rcS"
cp $store/tools/go "$slot/go"
cp $store/tools/menu.org $store/tools/menu
echo 'test "$RC" -eq 1 && $mpoint/tools/chroot $mpoint/image/0 ../go' >>$store/tools/menu
(cd / && $store/tools/menu 0; $store/tools/menu 1)
check "boot entry 1 starts slot 0 through chroot and go, 0 none" test "$(cat "$slot/booted")" = "booted in /"
check "chroot without a command fails" eval '! $store/tools/chroot "$slot" 2>/dev/null'

# Never into a directory that holds anything.
listing() { find "$1" -printf '%p %s %T@\n' | sort; }
before=$(listing $store)
mkdir /tmp/hidden && touch /tmp/hidden/.keep
echo data >/tmp/plain
for taken in /tmp/plain /tmp/hidden $store; do
    check "$taken: refused" eval '! "$make_store" $taken 2>/tmp/err >/dev/null'
done
check "non-empty directory: says so" grep -q "not empty" /tmp/err
check "nothing touched" test "$(listing $store; ls -A /tmp/hidden; cat /tmp/plain)" = "$before"$'\n.keep\ndata'
check "two directories: usage error" eval '"$make_store" /tmp/a /tmp/b 2>/dev/null; [ $? = 2 ]'
mkdir /tmp/empty /tmp/scratch
check "empty directory: used" test "$("$make_store" /tmp/empty)" = /tmp/empty -a -x /tmp/empty/tools/menu.org
# By default a fresh directory under TMPDIR; a relative one is made absolute.
out=$(TMPDIR=/tmp/scratch "$make_store")
check "default: fresh directory under TMPDIR" eval '[[ $out == /tmp/scratch/?* && -f $out/single-part.img ]]'
check "relative directory: absolute path printed" test "$(cd /tmp && "$make_store" relative)" = /tmp/relative

finish
