#!/bin/bash
# Front ends acting at once on one store, 20 rounds of each pair: the page
# installing while nimbrel erases, two pages installing, a backup from the
# page while the windows install. In each round one may be told "image
# store is busy", the other goes through; no slot is ever half there, no
# scratch tree is left, and no round hangs (each within 60 s).
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
cli=$(box_kernel nimbrel)
port=$("$NIMBREL_SOURCE/scripts/free-port")
s=/tmp/s url=http://127.0.0.1:$port
"$NIMBREL_SOURCE/scripts/make-demo-store" $s >/dev/null
"$cli" --store $s install single-part.img --slot 1 >/dev/null && "$cli" --store $s install two-part.img --slot 2 >/dev/null
tree() { (cd "$1" && find . ! -name 'Image.*' | sort); }
single=$(tree $s/image/1) two=$(tree $s/image/2)
"$cli" --store $s serve --listen 127.0.0.1:$port >/tmp/serve.out 2>&1 &
server=$!
trap 'kill $server' EXIT
served /tmp/serve.out
password=$(cat $s/nimbrel-web.password)
token=$(curl -s -u "me:$password" $url/api/session | sed 's/.*"token":"\([a-z0-9]*\)".*/\1/')
post() {
    curl -s -m 60 -u "me:$password" -H "X-Nimbrel-Token: $token" -H "Origin: $url" \
        -H 'Content-Type: application/json' -d "$2" "$url$1"
}
# The outcome of the page's last long action, once it has ended.
outcome() {
    for _ in $(seq 600); do
        progress=$(curl -s -m 5 -u "me:$password" $url/api/progress)
        has "$progress" '"running":false' && { printf '%s\n' "$progress"; return 0; }
        sleep 0.1
    done
    return 1
}
# Every slot whole, as one of the two images installs it, and no scratch tree.
sound() {
    for slot in $s/image/*; do
        [ -e "$slot/Image.info" ] || return 1
        listing=$(tree "$slot")
        [ "$listing" = "$single" ] || [ "$listing" = "$two" ] || return 1
    done
    ! ls -d $s/image/.install-* >/dev/null 2>&1
}
# Back to slots 1 and 2 alone, the image files and no backup.
reset() {
    for slot in 0 3 4; do [ ! -e $s/image/$slot ] || "$cli" --store $s erase $slot --yes >/dev/null; done
    [ -e $s/image/2 ] || "$cli" --store $s install two-part.img --slot 2 >/dev/null
    for backup in $s/Image-*.img; do [ ! -e "$backup" ] || "$cli" --store $s remove "${backup##*/}" --yes >/dev/null; done
}
# won_or_busy TEXT WON: TEXT says WON, or that the store was busy.
won_or_busy() { has "$1" "$2" || has "$1" "image store is busy"; }

# at_once PATH BODY COMMAND...: the page's request and COMMAND at the same
# time; sets asked to the page's answer, other to what COMMAND said and,
# once the page's long action has ended, page to its outcome.
at_once() {
    path=$1 body=$2
    shift 2
    post "$path" "$body" >/tmp/page.out &
    page_job=$!
    other=$("$@" 2>&1)
    wait $page_job
    asked=$(cat /tmp/page.out)
    page=$(outcome)
}
# rounds NAME ROUND: ROUND 20 times, each on the store as reset leaves it.
rounds() {
    faults=0
    for round in $(seq 20); do
        "$2" && sound || { faults=$((faults + 1)); echo "$1, round $round: $other / $asked / $page" >&2; }
        reset
    done
    check "$1: 20 rounds sound" test $faults = 0
}
# The page told busy at once, or its long action ending with WON.
page_won_or_busy() { has "$asked" "image store is busy" || won_or_busy "$page" "$1"; }

install_beside_erase() {
    at_once /api/install '{"file":"two-part.img","slot":3}' timeout 60 "$cli" --store $s erase 2 --yes &&
        won_or_busy "$other" "erased slot 2" && page_won_or_busy "installed Image-3 into slot 3"
}
two_installs() {
    at_once /api/install '{"file":"single-part.img","slot":3}' post /api/install '{"file":"two-part.img","slot":4}' &&
        won_or_busy "$asked" "install started" && won_or_busy "$other" "install started" &&
        ! { has "$asked" "busy" && has "$other" "busy"; }
}
backup_beside_windows() {
    at_once /api/backup '{"slot":1}' timeout 60 "$host" --store $s --keys "ok green ok" &&
        won_or_busy "$other" "[Info] Image is installed" && page_won_or_busy "backed up slot 1"
}
rounds "the page installing while nimbrel erases" install_beside_erase
rounds "two pages installing at once, one at a time, each told" two_installs
rounds "a backup from the page while the windows install" backup_beside_windows
finish
