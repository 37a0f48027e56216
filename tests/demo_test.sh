#!/bin/bash
# scripts/demo as a person runs it: the store directory is taken from the
# caller's directory, one that holds no store is refused, and the host runs
# in a namespace of its own, so the fixed paths of this (test) machine stay
# as they are while the demo's sample settings go into the slot.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"

demo() { env -u NIMBREL_IN_NS "$NIMBREL_SOURCE/scripts/demo" "$@"; }
machine_state() { cat /tmp/org /var/tuxbox/config/enigma/config; ls -A /tmp; }

echo /machine/store >/tmp/org
mkdir -p /var/tuxbox/config/enigma /tmp/caller
echo "machine settings" >/var/tuxbox/config/enigma/config
cd /tmp/caller || exit 1
before=$(machine_state)

# Install the single-part image with "Settings copy from Flash-Image" ticked.
out=$(printf '%s\n' ok down down down ok green ok exit | demo rel 2>&1)
check "relative DIR: the store is made in the caller's directory" test -f /tmp/caller/rel/tools/menu.org
check "the image is installed" grep -qF "Image is installed" <<<"$out"
check "the demo's settings go into the slot" \
    grep -qF "settings of the running system" rel/image/0/var/tuxbox/config/enigma/config
check "/tmp/org, /tmp/image and /var/tuxbox stay the machine's" test "$(machine_state)" = "$before"
check "the demo says where the store is" grep -qF "demo store: /tmp/caller/rel" <<<"$out"

mkdir notes
echo "not a store" >notes/todo.txt
err=$(demo notes </dev/null 2>&1)
check "a directory without a store: refused" test $? -ne 0
check "... saying why" grep -qF "no image store" <<<"$err"
check "... and left as it was" test "$(ls -A notes)" = todo.txt

finish
