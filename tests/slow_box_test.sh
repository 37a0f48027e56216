#!/bin/bash
# An installation on a slow, small box (scripts/slow-box: a tenth of one
# core, 64 MB) of a 44 MB two-part image holding 90 MB in some 2000 files
# that compress as a firmware's do. With the box's mount (no offset=) the
# status line moves at least every 3 s through the cut and the copy; an
# installation started meanwhile is refused or comes after it; a host killed
# mid-copy, and a copy that outlives its host, are waited for or refused by
# the next installation; /tmp/image stays mounted while any copy reads it.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
cli=$NIMBREL_BUILD/nimbrel
box=${NIMBREL_BOX:-reaper,closed,077}
store=/tmp/disk/store

# Under qemu (scripts/qemu-binfmt) the host's own code is several times
# slower, the commands it starts native: a quarter of a core keeps both
# about as slow as on the box.
emulated() {
    local arch entry
    case $(od -An -tx1 -j18 -N2 "$host") in
    " 03 00") arch=i386 ;;
    " 00 16") arch=s390x ;;
    *) return 1 ;;
    esac
    for entry in /proc/sys/fs/binfmt_misc/*; do
        [ "$(head -n 1 "$entry" 2>/dev/null)" = enabled ] && grep -qx "interpreter /usr/bin/qemu-$arch" "$entry" &&
            return 0
    done
    return 1
}
cpu=10 memory=64
! emulated || cpu=25
# AddressSanitizer halves the host's speed and keeps freed blocks a while
# (the box-like host's threads free thousands a second).
if readelf -d "$host" | grep -q 'NEEDED.*libasan'; then
    cpu=$((cpu * 2)) memory=512
fi
slow_box() { "$NIMBREL_SOURCE/scripts/slow-box" --cpu "$cpu" --memory "$memory" "$@"; }

# ext4 in a disk file, as the box's disk: on tmpfs the copy would hold
# memory the cgroup cannot reclaim.
disk_file=$NIMBREL_BUILD/slow-box-test.disk
mkdir -p /tmp/disk
truncate -s 600M "$disk_file" && mkfs.ext4 -q -F "$disk_file" && mount -o loop "$disk_file" /tmp/disk || exit 1
cleanup() {
    touch /tmp/watch.stop
    wait
    umount /usr/bin/mount 2>/dev/null
    umount /tmp/image 2>/dev/null
    umount /tmp/disk && rm -f "$disk_file"
}
trap cleanup EXIT
"$NIMBREL_SOURCE/scripts/make-demo-store" "$store" >/dev/null && rm "$store"/*.img || exit 1

# 2000 files of 16 kB and 15 of 4 MB of hex text (gzip takes it to 44 %, as programs).
"$NIMBREL_SOURCE/scripts/make-image" --tree /tmp/tree
mkdir -p /tmp/tree/lib/modules /tmp/tree/usr/share/data
head -c 10700000 /dev/urandom | od -An -tx1 -v | split -b 16k -a 4 - /tmp/tree/lib/modules/m
head -c 20000000 /dev/urandom | od -An -tx1 -v | split -b 4M -a 2 - /tmp/tree/usr/share/data/d
"$NIMBREL_SOURCE/scripts/make-image" --two-part --from /tmp/tree /tmp/disk/big.img || exit 1
check "the image is a two-part one of at least 40 MB" test "$(stat -c %s /tmp/disk/big.img)" -ge 40000000
(cd /tmp/disk && md5sum big.img >big.img.md5 && sha256sum big.img >big.img.sha256)
new_image() { cp /tmp/disk/big.img /tmp/disk/big.img.md5 /tmp/disk/big.img.sha256 "$store"; }

# Whenever a copy of this namespace from /tmp/image runs, /tmp/image must be
# mounted. Running: neither a zombie nor exiting (PF_EXITING, 0x4), as a
# throttled cp is a while after its files and the lock are gone.
copying() { pgrep --ns $$ --nslist mnt -f '^cp -Rdp? /tmp/image '; }
running() {
    local state flags
    read -r _ _ state _ _ _ _ _ flags _ 2>/dev/null <"/proc/$1/stat" && [ "$state" != Z ] && [ $((flags & 4)) = 0 ]
}
watch_mount() {
    while [ ! -e /tmp/watch.stop ]; do
        for pid in $(copying); do
            running "$pid" && ! mountpoint -q /tmp/image && running "$pid" &&
                echo "copy $pid: /tmp/image unmounted under it: $(cat "/proc/$pid/stat")" >>/tmp/watch.faults
        done
        sleep 0.05
    done
}
: >/tmp/watch.faults
watch_mount &

# The host PID is gone with all its threads, and so its lock (a throttled
# thread takes a while).
gone() { [ ! -e "/proc/$1" ]; }
# Each PID is a zombie or gone.
ended() {
    local pid state
    for pid; do
        [ ! -e "/proc/$pid" ] && continue
        read -r _ _ state _ 2>/dev/null <"/proc/$pid/stat" && [ "$state" = Z ] || return
    done
}

# Each line of standard input, after the time it came, in microseconds.
stamp() { while IFS= read -r line; do printf '%s %s\n' "${EPOCHREALTIME//[.,]/}" "$line"; done; }
now() { echo "${EPOCHREALTIME//[.,]/}"; }
# The host in the cgroup with KEYS: lines stamped into /tmp/host.log, pid in
# /tmp/host.pid, the pipe's end in host_pipe.
start_host() {
    rm -f /tmp/host.pid
    slow_box --stats /tmp/host.stats sh -c 'echo $$ >/tmp/host.pid; exec "$@"' sh \
        "$host" --box "$box" --store "$store" --keys "$1" 2>&1 | stamp >/tmp/host.log &
    host_pipe=$!
}
# Runs COMMAND every 0.1 s, up to SECONDS, until it succeeds.
wait_for() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.1
    done
}
copy_shown() { grep -sqE '^[0-9]+ please wait !!! [0-9]+ %' /tmp/host.log && [ -n "$(copying)" ]; }
copy_started() { [ -n "$(copying)" ]; }
# Waits for the host's copy in step STEP (shown on its status line, unless
# SEEN is copy_started); without it the test ends there, failed.
await_copy() {
    local seen=${2:-copy_shown}
    wait_for 120 eval '$seen || ! kill -0 $host_pipe 2>/dev/null'
    $seen && return
    check "step $1: the host's copy under way" false
    cut -d' ' -f2- /tmp/host.log | tail -n 20 >&2
    finish
    exit 1
}
run_cli() {
    out=$("$cli" "$@" 2>/tmp/cli.err)
    status=$?
    first=${out%%$'\n'*}  # what changed besides comes on lines of its own
    err=$(cat /tmp/cli.err)
}
# The payload of SLOT is the tree's.
payload_of() { diff -r /tmp/tree/lib "$store/image/$1/lib" && diff -r /tmp/tree/usr "$store/image/$1/usr"; }
# Sound with SLOTS installed: each complete and started, nothing left over.
sound() {
    local slot
    for slot in "$@"; do
        payload_of "$slot" && grep -qx "name=Image-$slot" "$store/image/$slot/Image.info" || return 1
    done
    [ "$(grep -c '^test "$RC" -eq' "$store/tools/menu")" = $# ] &&
        [ -z "$(cd "$store" && ls -d .cut-* .checked-* image/.install-* tools/*.new 2>/dev/null)" ] &&
        ! mountpoint -q /tmp/image
}

# 1. The box's mount, which takes no offset: the squashfs part is cut out first.
cp /usr/bin/mount /tmp/mount.real
cat >/tmp/mount.box <<'SCRIPT'
#!/bin/sh
case "$*" in *offset=*) touch /tmp/offset.refused; exit 32 ;; esac
exec /tmp/mount.real "$@"
SCRIPT
chmod 755 /tmp/mount.box
mount --bind /tmp/mount.box /usr/bin/mount
new_image
"$NIMBREL_SOURCE/scripts/make-demo-store" /tmp/other >/dev/null
start=$(now)
start_host "ok green ok ok exit"
await_copy 1
# Outside the cgroup, where they are quickest.
run_cli --store "$store" install big.img --slot 5
check "the same store meanwhile: image store is busy, nothing installed" eval '[ $status = 2 ] &&
    has "$err" "nimbrel: image store is busy: held by install (windows) since " && [ -z "$out" ] &&
    [ ! -e "$store/image/5" ]'
run_cli --store /tmp/other install two-part.img --slot 0
other_end=$(now)
wait $host_pipe
first_end=$(awk '/\[Info\] Image is installed/ { print $1 }' /tmp/host.log)
echo "another store meanwhile: status $status, ${out:-$err}"
check "another store meanwhile: another installation is running, or installed after the first" eval '
    { [ $status = 2 ] && [ "$err" = "nimbrel: another installation is running" ] &&
        [ ! -e /tmp/other/image/0 ]; } ||
    { [ $status = 0 ] && [ -n "$first_end" ] && [ "$other_end" -gt "$first_end" ]; }'
umount /usr/bin/mount
check "the box's mount refused the offset: the squashfs part was cut" test -e /tmp/offset.refused
check "the slow installation succeeds" grep -qF "[Info] Image is installed" /tmp/host.log
check "the store is sound with slot 0" sound 0
gaps=$(awk -v start="$start" '/please wait !!! [0-9]+ %/ { if (!first) first = NR; last = NR }
    { t[NR] = $1 } END {
        for (i = first + 1; i <= last; ++i) if (t[i] - t[i - 1] > most) most = t[i] - t[i - 1]
        printf "%d %d %.1f", last - first + 1, most / 1000, (t[NR] - start) / 1e6 }' /tmp/host.log)
read -r shown longest took <<<"$gaps"
echo "slow installation ($cpu % of a core, $memory MB): $took s; $shown status lines through the cut and the copy, at most" \
    "$longest ms apart; cgroup: $(tr '\n' ' ' </tmp/host.stats)"
check "the status line moves at least every 3 s through the cut and the copy" eval '[ "$shown" -ge 4 ] &&
    [ "$longest" -le 3000 ]'

# 2. The host killed mid-copy (the offset mount from here on).
new_image
start_host "ok green ok ok exit"
await_copy 2
host_pid=$(cat /tmp/host.pid)
kill -KILL "$host_pid"
wait_for 10 gone "$host_pid"
run_cli --store "$store" install big.img --slot 1
echo "after a killed host: status $status, ${out:-$err}"
check "after a killed host: the next installation waits for its copy, or is refused" eval '
    { [ $status = 0 ] && [ "$first" = "installed Image-1 into slot 1" ]; } ||
    { [ $status = 2 ] && [ "$err" = "nimbrel: another installation is running" ]; }'
wait $host_pipe
[ $status = 0 ] || run_cli --store "$store" install big.img --slot 1
check "after a killed host: the store is sound, and installs" eval '[ $status = 0 ] && sound 0 1'

# 3. A copy that outlives its host and shells (a kill that missed only it),
# held still while the next installation tries so that it outlasts the wait
# for it (3 s); held only once its shells are gone, as a stopped process in
# a group that becomes orphaned gets SIGHUP.
# No checksum files, and an emulated host at a tenth of a core too: it
# reaches the copy sooner, and its native copy runs long enough to be held.
! emulated || cpu=10
# On a busy machine the copy may end before it is held: the step has not
# begun then, and is taken again (at most three times).
for attempt in 1 2 3; do
    new_image
    rm "$store"/big.img.md5 "$store"/big.img.sha256
    start_host "ok green ok ok exit"
    await_copy 3 copy_started
    orphan=$(copying | head -n 1)
    host_pid=$(cat /tmp/host.pid)
    kill -STOP "$host_pid"
    shells=$(pgrep -g "$(ps -o pgid= -p "$orphan" | tr -d ' ')" | grep -vx "$orphan")
    # shellcheck disable=SC2086
    kill -KILL $shells
    # shellcheck disable=SC2086
    wait_for 10 ended $shells
    kill -STOP "$orphan" 2>/dev/null
    kill -KILL "$host_pid"
    wait_for 10 gone "$host_pid"
    running "$orphan" && break
    echo "the copy ended before it was held (attempt $attempt)"
    wait $host_pipe
done
run_cli --store "$store" install big.img --slot 2
echo "beside an orphan copy: status $status, ${out:-$err}"
check "an orphan copy: the next installation is refused, nothing installed" eval '[ $status = 2 ] &&
    [ "$err" = "nimbrel: another installation is running" ] && [ ! -e "$store/image/2" ]'
kill -CONT "$orphan"
wait_for 240 eval '! running "$orphan"'
check "the orphan copy ran to its end, whole" eval '! running "$orphan" &&
    diff -r /tmp/tree/lib "$store/image/.install-2/lib" && diff -r /tmp/tree/usr "$store/image/.install-2/usr"'
wait $host_pipe
run_cli --store "$store" install big.img --slot 2
check "once it has ended: the next installation succeeds, the store is sound" eval '[ $status = 0 ] &&
    [ "$first" = "installed Image-2 into slot 2" ] && sound 0 1 2'

touch /tmp/watch.stop
wait
check "no copy from /tmp/image ever ran without its mount" eval '[ ! -s /tmp/watch.faults ] ||
    { cat /tmp/watch.faults >&2; false; }'
finish
