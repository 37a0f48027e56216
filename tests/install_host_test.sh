#!/bin/sh
# nimbrel-host with the built plug-in installs both kinds of image of the
# demo store from a key script, as a person would from the main menu.
set -eu
store=$(mktemp -d /tmp/install-host.XXXXXX)
"$NIMBREL_SOURCE/scripts/make-demo-store" "$store"
. "$NIMBREL_SOURCE/tests/check.sh"

for run in 1 2; do
    out=$("$NIMBREL_BUILD/nimbrel-host" --store "$store" --keys "ok green ok exit" 2>/dev/null)
    check "run $run: installed" sh -c 'printf "%s\n" "$0" | grep -qxF "[Info] Image is installed"' "$out"
done
check "both slots named" sh -c 'test "$(cat "$0"/image/0/Image.info "$0"/image/1/Image.info)" = "$(printf "name=Image-0\nname=Image-1")"' "$store"
check "only the single-part file stays" test "$(cd "$store" && ls ./*.img)" = ./single-part.img
check "both in the boot menu" test "$(grep -c ' ../go$' "$store/tools/menu")" = 2
check "rcS patched" grep -qx '# /dev/mtdblock/2 /var' "$store/image/1/etc/init.d/rcS"

rm -rf "$store"
finish
