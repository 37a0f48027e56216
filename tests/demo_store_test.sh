#!/bin/bash
# scripts/make-demo-store: the store it makes, its boot tools at work, and
# its refusal to write into a directory that holds anything. Runs inside
# ns-run, so /tmp is this test's own.
set -u
make_store="$NIMBREL_SOURCE/scripts/make-demo-store"
. "$NIMBREL_SOURCE/tests/check.sh"

contains() { grep -qF -- "$2" <<<"$1"; }
mode_of() { stat -c %a "$1"; }
# The 4 bytes at OFFSET of FILE in hex.
bytes_at() { od -An -tx1 -j "$2" -N 4 "$1" 2>/dev/null | tr -d ' \n'; }

store=/tmp/demo
out=$("$make_store" "$store" 2>/tmp/err)
status=$?
check "makes a store: exit 0" test "$status" -eq 0
check "makes a store: prints its path" test "$out" = "$store"
[ "$status" -eq 0 ] || cat /tmp/err >&2

for tool in menu.org go chroot du; do
    check "tools/$tool is there" test -f "$store/tools/$tool"
    check "tools/$tool has mode 755" test "$(mode_of "$store/tools/$tool")" = 755
done
check "no slots yet" test ! -e "$store/image"
check "no boot menu yet" test ! -e "$store/tools/menu" -a ! -e "$store/tools/lcdmenu.conf"
images=$(cd "$store" && ls -- *.img | tr '\n' ' ')
check "two image files" test "$images" = "single-part.img two-part.img "

# A cramfs begins with its magic 0x28cd3d45; a two-part image has a
# squashfs ("hsqs") at block 2304 of 512 bytes.
cramfs=453dcd28
squashfs=68737173
single=$store/single-part.img
twopart=$store/two-part.img
check "single-part image is a cramfs" test "$(bytes_at "$single" 0)" = "$cramfs"
check "single-part image has no squashfs part" test "$(bytes_at "$single" 1179648)" != "$squashfs"
check "two-part image begins with a cramfs" test "$(bytes_at "$twopart" 0)" = "$cramfs"
check "two-part image has its squashfs at block 2304" test "$(bytes_at "$twopart" 1179648)" = "$squashfs"

# tools/du writes SIZE, a tab and the directory as it was given.
du_line=$("$store/tools/du" -s "$store/tools")
check "du: size, tab, path" eval '[[ "$du_line" =~ ^[0-9]+$'"'\t'"'/tmp/demo/tools$ ]]'
check "du: size in kB" test "${du_line%%$'\t'*}" = "$(du -sk "$store/tools" | cut -f1)"

# The boot menu head sets RC from its first argument and mpoint to the
# store, however the script is called.
cp "$store/tools/menu.org" "$store/tools/menu"
echo 'echo "RC=$RC mpoint=$mpoint"' >>"$store/tools/menu"
check "menu head: RC and mpoint" test "$(cd / && "$store/tools/menu" 2)" = "RC=2 mpoint=$store"
check "menu head: called relatively" test "$(cd "$store/tools" && ./menu 7)" = "RC=7 mpoint=$store"
check "menu head: RC 0 without an argument" test "$(sh "$store/tools/menu")" = "RC=0 mpoint=$store"

# A tiny root file system (the host's /bin/sh with its libraries) in slot
# 0, booted the way the generated boot menu does it: the boot menu line
# runs tools/chroot, which runs ../go inside the slot, which runs rcS.
slot=$store/image/0
mkdir -p "$slot/bin" "$slot/etc/init.d"
cp /bin/sh "$slot/bin/sh"
for lib in $(ldd /bin/sh | grep -o '/[^ ]*'); do
    cp --parents "$lib" "$slot"
done
printf '#!/bin/sh\necho "booted in $PWD" >/booted\n' >"$slot/etc/init.d/rcS"
cp "$store/tools/go" "$slot/go"
cp "$store/tools/menu.org" "$store/tools/menu"
echo 'test "$RC" -eq 1 && $mpoint/tools/chroot $mpoint/image/0 ../go' >>"$store/tools/menu"
(cd / && "$store/tools/menu" 0)
check "boot entry 0 starts no slot" test ! -e "$slot/booted"
(cd / && "$store/tools/menu" 1)
check "boot entry 1 starts slot 0 through chroot and go" \
    test "$(cat "$slot/booted" 2>/dev/null)" = "booted in /"
"$store/tools/chroot" "$slot" 2>/dev/null
check "chroot without a command fails" test $? -ne 0

# Never into a directory that holds anything.
listing() { find "$1" -printf '%p %s %T@\n' | sort; }
before=$(listing "$store")
"$make_store" "$store" >/dev/null 2>/tmp/err
check "non-empty directory: refused" test $? -ne 0
check "non-empty directory: says so" contains "$(cat /tmp/err)" "not empty"
check "non-empty directory: untouched" test "$(listing "$store")" = "$before"

mkdir /tmp/hidden
touch /tmp/hidden/.keep
"$make_store" /tmp/hidden >/dev/null 2>/tmp/err
check "directory with a hidden file: refused" test $? -ne 0
check "directory with a hidden file: untouched" test "$(ls -A /tmp/hidden)" = .keep

echo data >/tmp/plain
"$make_store" /tmp/plain >/dev/null 2>/tmp/err
check "plain file: refused" test $? -ne 0
check "plain file: untouched" test "$(cat /tmp/plain)" = data

"$make_store" /tmp/a /tmp/b >/dev/null 2>&1
check "two directories: usage error" test $? -eq 2

mkdir /tmp/empty
out=$("$make_store" /tmp/empty 2>/tmp/err)
check "empty directory: used" test "$out" = /tmp/empty -a -x /tmp/empty/tools/menu.org

# By default a fresh directory under TMPDIR; a relative one is made absolute.
mkdir /tmp/scratch
out=$(TMPDIR=/tmp/scratch "$make_store" 2>/tmp/err)
check "default: fresh directory under TMPDIR" eval '[[ "$out" == /tmp/scratch/?* && -f "$out/single-part.img" ]]'
out=$(cd /tmp && "$make_store" relative 2>/tmp/err)
check "relative directory: absolute path printed" test "$out" = /tmp/relative

finish
