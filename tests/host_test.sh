#!/bin/bash
# nimbrel-host and the built plug-in as a person runs them. Runs inside
# ns-run, so /tmp/org is this test's own.
set -u
host="$NIMBREL_BUILD/nimbrel-host"
plugin="$NIMBREL_BUILD/nimbrel.so"
. "$NIMBREL_SOURCE/tests/check.sh"

# Runs the host with the given arguments; sets out, err and status.
run_host() {
    out=$("$host" "$@" 2>/tmp/host.err)
    status=$?
    err=$(cat /tmp/host.err)
}

contains() { grep -qF -- "$2" <<<"$1"; }

# Functions and data alike; version definitions (type A) are no symbols of ours.
only_plugin_exec_exported() {
    local symbols
    symbols=$(nm -D --defined-only "$plugin" | awk '$2 != "A" {print $3}')
    [ "$symbols" = plugin_exec ]
}
check "plugin_exec is the only exported symbol" only_plugin_exec_exported

rm -f /tmp/org
run_host --keys ""
check "refusal without /tmp/org: exit 0" test "$status" -eq 0
check "refusal without /tmp/org: message" contains "$out" "[Nimbrel] Tovra-Image must be started!"
check "refusal without /tmp/org: no main menu" eval '! contains "$out" "Install new Image"'

mkdir -p /tmp/store/tools
run_host --store /tmp/store --keys "snap"
check "--store writes /tmp/org" test "$(cat /tmp/org)" = /tmp/store
check "main menu: exit 0" test "$status" -eq 0
for entry in " Install new Image" " Rename Image" " Erase Image" " Installed Images" \
    " Menu color" " About..."; do
    check "main menu shows '$entry'" contains "$out" "$entry"
done
check "main menu: no message box" eval '! contains "$out" "["'

run_host --keys "down down down down down ok" "$plugin"
check "About box: exit 0" test "$status" -eq 0
check "About box: message" contains "$out" "[About...] Nimbrel V1.2  Date: "

run_host --fontsize 26 --keys "down bogus ok"
check "bad key name: fails" test "$status" -ne 0
check "bad key name: named" contains "$err" "bogus"
check "bad key name: plug-in not run" test -z "$out"

out=$(cd "$NIMBREL_BUILD" && "$host" --keys "snap" nimbrel.so 2>&1)
check "plug-in named without a directory: found here" contains "$out" "Install new Image"

run_host --keys "" /tmp/no-such-plugin.so
check "missing plug-in: fails" test "$status" -ne 0
check "missing plug-in: says so" contains "$err" "no-such-plugin.so"

run_host --fontsize big --keys ""
check "bad font size: fails" test "$status" -ne 0

# A plug-in whose window never closes: the host gives up after its exits.
cat >/tmp/stuck.cpp <<'CPP'
#include "host/elistbox.h"
extern "C" int plugin_exec(void*)
{
    eWindow window;
    new eListBox<eListBoxEntryText>(&window);  // swallows exit
    window.show();
    window.exec();
    return 0;
}
CPP
if c++ -std=c++17 -shared -fPIC -I"$NIMBREL_SOURCE" $(pkg-config --cflags sigc++-3.0) \
    -o /tmp/stuck.so /tmp/stuck.cpp; then
    run_host --keys "down" /tmp/stuck.so
    check "exhausted script: exit status 3" test "$status" -eq 3
    check "exhausted script: says why" contains "$err" "100"
else
    check "test plug-in builds" false
fi

finish
