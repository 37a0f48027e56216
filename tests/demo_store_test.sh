#!/bin/bash
# scripts/make-demo-store: the store it makes, its boot tools at work, and
# its refusal to write into a directory that holds anything.
set -u
make_store="$NIMBREL_SOURCE/scripts/make-demo-store"
. "$NIMBREL_SOURCE/tests/check.sh"
bytes_at() { od -An -tx1 -j "$2" -N 4 "$1" | tr -d ' \n'; }

store=/tmp/demo
check "makes a store, prints its path" test "$("$make_store" $store)" = $store
check "two images, tools of mode 755, no slots, no boot menu" test "$(cd $store && stat -c '%n %a' * tools/*)" = \
    "$(printf '%s\n' 'single-part.img 644' 'tools 755' 'two-part.img 644' 'tools/chroot 755' 'tools/du 755' \
    'tools/go 755' 'tools/menu.org 755')"
# A cramfs begins with 0x28cd3d45; a squashfs ("hsqs") follows at byte 1179648.
check "a single-part and a two-part image" test "$(bytes_at $store/single-part.img 0) \
$(bytes_at $store/two-part.img 0) $(bytes_at $store/two-part.img 1179648)" = "453dcd28 453dcd28 68737173"
check "du: size in kB, tab, path" test "$($store/tools/du -s $store/tools)" = "$(du -sk $store/tools)"

# Slot 0 holds the host's /bin/sh; the boot menu head sets RC from its first
# argument and mpoint to the store, and its line for entry 1 boots slot 0
# through tools/chroot and go, which runs rcS.
slot=$store/image/0
mkdir -p "$slot/etc/init.d"
cp --parents /bin/sh $(ldd /bin/sh | grep -o '/[^ ]*') "$slot"
printf '#!/bin/sh\necho "booted in $PWD" >>/booted\n' >"$slot/etc/init.d/rcS"
cp $store/tools/go "$slot/go"
cp $store/tools/menu.org $store/tools/menu
echo 'echo "$RC $mpoint"; test "$RC" -eq 1 && $mpoint/tools/chroot $mpoint/image/0 ../go' >>$store/tools/menu
check "menu head: RC and mpoint" test "$(cd / && $store/tools/menu 2; cd $store/tools && sh menu)" = \
    "$(printf '2 %s\n0 %s' $store $store)"
(cd / && $store/tools/menu 1) >/dev/null
check "entry 1 boots slot 0 through chroot and go" test "$(cat "$slot/booted")" = "booted in /"

listing() { find "$1" -printf '%p %s %T@\n' | sort; }
before=$(listing $store)
mkdir /tmp/hidden /tmp/empty /tmp/scratch && touch /tmp/hidden/.keep
echo data >/tmp/plain
for taken in /tmp/plain /tmp/hidden $store; do
    check "$taken: refused" eval '! "$make_store" $taken 2>/tmp/err >/dev/null'
done
check "non-empty directory: says so, nothing touched" eval 'grep -q "not empty" /tmp/err &&
    [ "$(listing $store; ls -A /tmp/hidden; cat /tmp/plain)" = "$before"$'"'\n.keep\ndata'"' ]'
check "empty directory: used" test "$("$make_store" /tmp/empty)" = /tmp/empty -a -x /tmp/empty/tools/menu.org
out=$(TMPDIR=/tmp/scratch "$make_store")
check "default: fresh directory under TMPDIR" eval '[[ $out == /tmp/scratch/?* && -f $out/single-part.img ]]'
check "relative directory: absolute path printed" test "$(cd /tmp && "$make_store" relative)" = /tmp/relative
finish
