#!/bin/sh
# nimbrel-host with the built plug-in installs both kinds of image of the
# demo store from a key script, as a person would from the main menu.
set -eu
store=$(mktemp -d /tmp/install-host.XXXXXX)
"$NIMBREL_SOURCE/scripts/make-demo-store" "$store"
. "$NIMBREL_SOURCE/tests/check.sh"

# Each run installs the first file listed; which is first depends on the
# file system, so the single-part image waits outside until the second run.
install_first() {
    out=$("$NIMBREL_BUILD/nimbrel-host" --store "$store" --keys "ok green ok exit" 2>/dev/null)
    check "$1 installed" sh -c 'printf "%s\n" "$0" | grep -qxF "[Info] Image is installed"' "$out"
}
mv "$store/single-part.img" "$store.single"
install_first two-part
mv "$store.single" "$store/single-part.img"
install_first single-part
check "both slots named" sh -c 'test "$(cat "$0"/image/0/Image.info "$0"/image/1/Image.info)" = "$(printf "name=Image-0\nname=Image-1")"' "$store"
check "only the single-part file stays" test "$(cd "$store" && ls ./*.img)" = ./single-part.img
check "both in the boot menu" test "$(grep -c ' ../go$' "$store/tools/menu")" = 2
for slot in 0 1; do
    check "slot $slot: rcS patched" grep -qx '# /dev/mtdblock/2 /var' "$store/image/$slot/etc/init.d/rcS"
done

rm -rf "$store"
finish
