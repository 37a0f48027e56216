#!/bin/bash
# scripts/demo: the store directory is taken from the caller's directory, one
# that holds no store is refused, and the host runs in a namespace of its own:
# this machine's fixed paths stay as they are, the demo's settings go into the slot.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
demo() { env -u NIMBREL_IN_NS "$NIMBREL_SOURCE/scripts/demo" "$@"; }
machine_state() { cat /tmp/org /var/tuxbox/config/enigma/config; ls -A /tmp; }

echo /machine/store >/tmp/org
mkdir -p /var/tuxbox/config/enigma /tmp/caller/notes
echo "machine settings" >/var/tuxbox/config/enigma/config
echo "not a store" >/tmp/caller/notes/todo.txt
cd /tmp/caller || exit 1
before=$(machine_state)
# Install the single-part image with "Settings copy from Flash-Image" ticked.
out=$(printf '%s\n' ok down down down ok green ok exit | demo rel 2>&1)
check "relative DIR: the store is made in the caller's directory, and said" \
    eval '[ -f rel/tools/menu.org ] && has "$out" "demo store: /tmp/caller/rel"'
check "installed with the demo's settings" eval 'has "$out" "Image is installed" &&
    grep -qF "settings of the running system" rel/image/0/var/tuxbox/config/enigma/config'
check "/tmp/org, /tmp/image and /var/tuxbox stay the machine's" test "$(machine_state)" = "$before"
err=$(demo notes </dev/null 2>&1)
refused=$?
check "a directory without a store: refused, saying why, left as it was" \
    eval '[ $refused -ne 0 ] && has "$err" "no image store" && [ "$(ls -A notes)" = todo.txt ]'
finish
