#!/bin/bash
# nimbrel beside nimbrel-host and at a terminal: the boot menu both write,
# the store's lock both ways, erase's question, the progress line and Ctrl-C
# during an installation.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
cli=$NIMBREL_BUILD/nimbrel
# A copy held, to act while it runs; /tmp/copying marks its start,
# /tmp/copied its end.
mkdir -p /tmp/slow
cat >/tmp/slow/cp <<'SCRIPT'
#!/bin/sh
case "$*" in *" /tmp/image "*) ;; *) exec /bin/cp "$@" ;; esac
touch /tmp/copying
SCRIPT
printf '%s\n/bin/cp "$@" && touch /tmp/copied\n' "$held" >>/tmp/slow/cp
chmod 755 /tmp/slow/cp
# A store at /tmp/NAME with the demo images and slots 1 "Alpha" and 4 "Beta".
new_store() {
    rm -rf "/tmp/$1" /tmp/copying
    "$NIMBREL_SOURCE/scripts/make-demo-store" "/tmp/$1" >/dev/null
    for entry in 1:Alpha 4:Beta; do
        mkdir -p "/tmp/$1/image/${entry%:*}/bin"
        echo "name=${entry#*:}" >"/tmp/$1/image/${entry%:*}/Image.info"
    done
}
menu_of() {
    cd "/tmp/$1/tools" && cat menu lcdmenu.conf && stat -c %a menu lcdmenu.conf
}
run_cli() {
    out=$("$cli" "$@" 2>/tmp/cli.err)
    status=$?
    err=$(cat /tmp/cli.err)
}

check "nimbrel links no widget code and no libsigc++" eval '! readelf -d "$cli" | grep -q sigc &&
    ! nm -C "$cli" | grep -qE "eWidget|eWindow"'

new_store a && new_store b
"$cli" --store /tmp/a color cyan >/dev/null
"$host" --store /tmp/b --keys "down down down down ok down ok" >/dev/null 2>&1
check "colour: the boot menu's bytes and modes as the colour window writes them" \
    eval '[ "$(menu_of a)" = "$(menu_of b)" ] && grep -qx menu_color=3 /tmp/a/tools/lcdmenu.conf'
"$cli" --store /tmp/a erase 1 --yes >/dev/null
"$host" --store /tmp/b --keys "down down ok green ok" >/dev/null 2>&1
check "erase: the boot menu's bytes as the erase window writes them" \
    eval '[ "$(menu_of a)" = "$(menu_of b)" ] && [ ! -e /tmp/a/image/1 ] && [ ! -e /tmp/b/image/1 ]'

new_store s
PATH=/tmp/slow:$PATH "$cli" --store /tmp/s install single-part.img --slot 0 >/tmp/cli.out 2>&1 &
cli_pid=$!
wait_until test -e /tmp/copying
host_out=$("$host" --store /tmp/s --keys "down ok green ok" 2>&1)
touch /tmp/go
wait $cli_pid
cli_status=$?
check "nimbrel installing: the host's rename is refused as busy, nothing renamed" eval 'has "$host_out" \
    "[Error] image store is busy" && grep -qx name=Alpha /tmp/s/image/1/Image.info && [ $cli_status = 0 ] &&
    grep -qx "installed Image-0 into slot 0" /tmp/cli.out'
rm -f /tmp/copying /tmp/copied /tmp/go
PATH=/tmp/slow:$PATH "$host" --store /tmp/s --keys "ok green ok" >/tmp/host.out 2>&1 &
host_pid=$!
wait_until test -e /tmp/copying
run_cli --store /tmp/s rename 4 Gamma
busy_status=$status busy_err=$err busy_out=$out
# The copy let go once the waiting rename runs.
(wait_until pgrep --ns $$ --nslist mnt -f "rename Beta Beta" && touch /tmp/go) &
run_cli --store /tmp/s --wait=60 rename Beta Beta
check "nimbrel --wait waits for the host's installation, then renames" eval '[ $status = 0 ] && [ -e /tmp/copied ]'
wait $host_pid
status=$busy_status err=$busy_err out=$busy_out
check "the host installing: nimbrel's rename is refused as busy, status 2, nothing renamed" eval '[ $status = 2 ] &&
    echo "$err" | grep -qx "nimbrel: image store is busy: held by install (windows) since $(date -u +%Y-%m-)[0-9: -]* UTC, process [0-9]*; try again once it has ended" &&
    [ -z "$out" ] && grep -qx name=Beta /tmp/s/image/4/Image.info &&
    grep -qF "[Info] Image is installed" /tmp/host.out'
check "the host's installation records the slot's details too" grep -q "^image=.*\.img$" /tmp/s/image/2/Image.details
new_store t
cp /tmp/t/single-part.img "/tmp/t/$(printf '\033[2J').img"
host_out=$("$host" --store /tmp/t --keys "ok green ok" 2>&1)
check "the host's trace line shows a file name's control characters as ?" eval 'has "$host_out" "?[2J.img: Success" &&
    ! has "$host_out" "$(printf '\033')"'

# Erase on a terminal asks, showing the slot, its name and size.
size=$(du -sk /tmp/s/image/4 | cut -f1)
out=$(printf 'no\n' | script -qec "'$cli' --store /tmp/s erase 4" /dev/null)
status=$?
check "erase on a terminal, answered no: asked, refused, the slot stays" eval '[ $status = 2 ] &&
    has "$out" "erase slot 4 (Beta, install time unknown, $size kB)? [yes/no]" && has "$out" "slot 4 not erased" &&
    [ -d /tmp/s/image/4 ]'
# Answered for Beta, while the slot is erased and filled again: not erased.
# The answer waits for the swap: a fixed delay lost the race on a busy machine.
rm -f /tmp/swapped
(until [ -e /tmp/swapped ]; do sleep 0.1; done; echo yes) |
    script -qec "'$cli' --store /tmp/s erase 4" /dev/null >/tmp/erase.out &
wait_until grep -q "yes/no" /tmp/erase.out
mv /tmp/s/image/4 /tmp/s/image/old4 && mkdir /tmp/s/image/4 && echo name=Beta >/tmp/s/image/4/Image.info
touch /tmp/swapped
wait $!
check "erase answered yes for an installation that is gone meanwhile: refused, the new one stays" eval '
    has "$(cat /tmp/erase.out)" "nimbrel: slot 4 changed, not erased" && grep -qx name=Beta /tmp/s/image/4/Image.info'
rm -rf /tmp/s/image/4 && mv /tmp/s/image/old4 /tmp/s/image/4
out=$(printf 'yes\n' | script -qec "'$cli' --store /tmp/s erase 4" /dev/null)
status=$?
check "erase on a terminal, answered yes: erased" eval '[ $status = 0 ] && has "$out" "erased slot 4 (Beta)" &&
    [ ! -e /tmp/s/image/4 ]'

# The progress line is redrawn on a terminal, and never written elsewhere.
rm -f /tmp/go /tmp/copying
(wait_until test -e /tmp/copying && sleep 2 && touch /tmp/go) &
out=$(script -qec "PATH=/tmp/slow:\$PATH '$cli' --store /tmp/s install single-part.img --slot 6" /dev/null)
check "progress on a terminal: one line redrawn up to 100 %, then the result, no trace line" eval 'has "$out" \
    "$(printf "\rnimbrel: please wait !!! 100 %%")" && has "$out" "installed Image-6 into slot 6" &&
    [ "$(echo "$out" | wc -l)" = 2 ]'
PATH=/tmp/slow:$PATH run_cli --store /tmp/s install single-part.img --slot 7
check "progress without a terminal: none, only the result" eval '[ $status = 0 ] && ! has "$err" "please wait" &&
    [ "$out" = "$(printf "installed Image-7 into slot 7\nimage file single-part.img kept")" ]'

# Ctrl-C reaches the whole foreground process group, as from a terminal.
rm -f /tmp/copying /tmp/copied /tmp/go
before=$(cd /tmp/s && ls -R)
PATH=/tmp/slow:$PATH setsid -w sh -c 'echo $$ >/tmp/cli.pid; exec "$@"' sh \
    "$cli" --store /tmp/s install single-part.img --slot 8 >/tmp/cli.out 2>/tmp/cli.err &
cli_pid=$!
wait_until test -e /tmp/copying
kill -INT -- -"$(cat /tmp/cli.pid)"
wait $cli_pid
status=$?
check "Ctrl-C during the copy: stopped, status 1, the slot free, the image file kept, nothing left" eval '
    [ ! -e /tmp/copied ] &&
    [ $status = 1 ] && has "$(cat /tmp/cli.err)" "nimbrel: installation cancelled" && [ ! -s /tmp/cli.out ] &&
    [ "$(cd /tmp/s && ls -R)" = "$before" ] && ! mountpoint -q /tmp/image'

run_cli --store /tmp/s log
check "the log: one line for each action that took the lock, by either front end, oldest first" eval '
    [ $status = 0 ] && [ "$(echo "$out" | cut -d" " -f2-5)" = "$(printf "%s\n" "nimbrel install 0 done" \
    "windows install 2 done" "nimbrel rename 4 done" "nimbrel erase 4 done" "nimbrel install 6 done" \
    "nimbrel install 7 done" "nimbrel install 8 failed")" ] && ! echo "$out" | grep -vqE "^[0-9-]{10}T[0-9:]{8}Z " &&
    echo "$out" | tail -n 1 | grep -q " failed installation cancelled (single-part.img)$"'
# A pipe whose reader is gone, and a closed stdout: the work done, status 1, one line.
rm -f /tmp/gone && mkfifo /tmp/gone && exec 3<>/tmp/gone 4>/tmp/gone 3<&-
"$cli" --store /tmp/s status >&4 2>/tmp/cli.err
status=$? err=$(cat /tmp/cli.err)
exec 4>&-
check "stdout to a reader that is gone: status 1 and one line naming it" eval '[ $status = 1 ] &&
    [ "$err" = "nimbrel: could not write the output: standard output is gone (a reader that ended, a full disk)" ]'
"$cli" --store /tmp/s install single-part.img --slot 9 >&- 2>/tmp/cli.err
status=$? err=$(cat /tmp/cli.err)
check "stdout closed: installed all the same, status 1 and one line naming it" eval '[ $status = 1 ] &&
    [ "$err" = "nimbrel: could not write the output: standard output is closed" ] && [ -e /tmp/s/image/9/Image.info ]'
head -c 70000 /dev/zero | tr '\0' x | fold -w 99 >/tmp/s/nimbrel.log
"$cli" --store /tmp/s menu >/dev/null
check "a log past its bound keeps its newest whole lines within it" eval '[ $(stat -c %s /tmp/s/nimbrel.log) -le 65536 ] &&
    head -1 /tmp/s/nimbrel.log | grep -qx "x\{99\}" && tail -1 /tmp/s/nimbrel.log | grep -q " nimbrel menu - done"'
finish
