#!/bin/bash
# nimbrel serve over plain HTTP: who is let in, what is refused with which
# text, and that nothing refused leaves a file in the store.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
cli=$(box_kernel nimbrel)
port=$("$NIMBREL_SOURCE/scripts/free-port")
s=/tmp/s url=http://127.0.0.1:$port
# A small file system, so that an upload can be too large for it.
mkdir -p $s /tmp/b && mount -t tmpfs -o size=40m tmpfs $s
for store in $s /tmp/b; do
    "$NIMBREL_SOURCE/scripts/make-demo-store" $store >/dev/null
    mkdir -p $store/image/1/bin && echo name=Alpha >$store/image/1/Image.info
done
# A copy of the tree held, to act while an installation runs.
mkdir -p /tmp/slow && printf '#!/bin/sh\ncase "$*" in *" /tmp/image "*) %s ;; esac\nexec /bin/cp "$@"\n' "$held" >/tmp/slow/cp
chmod 755 /tmp/slow/cp
PATH=/tmp/slow:$PATH "$cli" --store $s serve --listen 127.0.0.1:$port >/tmp/serve.out 2>/tmp/serve.err &
server=$!
trap 'kill $server' EXIT
served /tmp/serve.out /tmp/serve.err
password=$(cat $s/nimbrel-web.password)
second=$("$cli" --store $s serve --listen 127.0.0.1:$port 2>&1)
check "a second server on the port: refused, the cause said" has "$second" \
    "could not listen on 127.0.0.1:$port: Address already in use: give another address or port with --listen ADDR:PORT"
check "the password: printed once, its file mode 600" eval 'grep -qF ": $password" /tmp/serve.out &&
    ! has "$second" "$password" && [ "$(stat -c %a $s/nimbrel-web.password)" = 600 ] && [ ${#password} -ge 16 ]'

# call PATH CURL-ARGS...: the answer's code and body, with the password.
call() {
    body=$(curl -s -w '\n%{http_code}' -u "me:$password" "$@" "$url$path")
    code=${body##*$'\n'} body=${body%$'\n'*}
}
# post PATH CURL-ARGS...: a changing request with the token and Origin of
# $sent_token and $origin, the page's own unless set.
post() {
    path=$1
    shift
    call -H "X-Nimbrel-Token: ${sent_token-$token}" -H "Origin: ${origin-$url}" -H 'Content-Type: application/json' "$@"
}
answered() { [ "$code" = "$1" ] && has "$body" "$2" || { echo "got $code $body" >&2; false; }; }
path=/api/session call
token=$(printf '%s' "$body" | sed 's/.*"token":"\([a-z0-9]*\)".*/\1/')
# The store's entries but the lock's record, which the first action writes.
entries() { ls -A "$s" | grep -vx .nimbrel-lock; }
before=$(entries)

start=$(date +%s%N)
path=/api/status call -u me:wrong
check "a wrong password: refused after a second, saying where it is kept" eval 'answered 401 \
    "wrong password: it is the first line of $s/nimbrel-web.password on the box" &&
    [ $(( ($(date +%s%N) - start) / 1000000 )) -ge 900 ]'
check "no password: refused" eval '[ "$(curl -s -o /dev/null -w %{http_code} $url/)" = 401 ]'
check "the password is never logged" eval '! grep -qF "$password" /tmp/serve.err'
check "the page: never in another site's frame" eval 'curl -sD - -o /dev/null -u "me:$password" $url/ |
    grep -qi "^X-Frame-Options: DENY"'
# The sizes come from a measure in the background: the same once it has run.
check "status: as nimbrel status --json" wait_until eval 'path=/api/status call &&
    [ "$(echo "$body")" = "$("$cli" --store $s status --json)" ]'
mkfifo $s/fifo.img
check "a FIFO in the store: refused at once, never read" eval 'path=/api/file?name=fifo.img call -m 5 &&
    answered 403 "no plain file, not sent: fifo.img"'
rm $s/fifo.img
check "delete: only what the store lists as an image file" eval 'post /api/remove -d "{\"file\":\"tools\"}" &&
    answered 409 "no image file or checksum file of the store: tools" && [ -d $s/tools ]'
for i in $(seq 40); do path=/api/session call; done
check "the page's token outlives other pages' requests" eval '[ "$body" = "{\"token\":\"$token\"}" ]'
# serve_with PASSWORD-FILE: what a server on that file says before it would listen.
serve_with() { timeout 10 "$cli" --store /tmp/b serve --listen 127.0.0.1:$((port + 1)) --password-file "$1" 2>&1; }
mkfifo /tmp/pw.fifo && printf 'secret\n' >/tmp/pw.644 && chmod 644 /tmp/pw.644
check "a password file that is a FIFO: no server, the cause said" has "$(serve_with /tmp/pw.fifo)" \
    "nimbrel: the password file /tmp/pw.fifo is no regular file of at most 4 kB: make it one"
check "a password file others may read: no server, the cause said" has "$(serve_with /tmp/pw.644)" \
    "nimbrel: the password file /tmp/pw.644 may be read by others (mode 644): make it 600 (chmod 600 /tmp/pw.644)"

while IFS='|' read -r what settings expect; do
    eval "$settings post /api/rename -d '{\"slot\":1,\"name\":\"Beta\"}'"
    check "rename $what: $expect" eval 'answered ${expect%% *} "${expect#* }" && grep -qx name=Alpha $s/image/1/Image.info'
done <<'TABLE'
without the token|sent_token=|403 no valid session token
with a wrong token|sent_token=abc|403 no valid session token
from another site|origin=http://evil.example|403 request from another site
from another port|origin=http://127.0.0.1:1|403 request from another site
without Origin and Referer|origin=|403 request from another site
TABLE

while IFS='|' read -r what data expect; do
    post /api/rename --data-binary "$data"
    check "rename $what: $expect" eval 'answered ${expect%% *} "${expect#* }" && grep -qx name=Alpha $s/image/1/Image.info'
done <<TABLE
not JSON|{"slot":|400 malformed request
a slot beyond 9|{"slot":10,"name":"X"}|400 slot must be 0..9
a name too long|{"slot":1,"name":"ElevenChars"}|400 name longer than 10 characters
too large|$(head -c 70000 /dev/zero | tr '\0' ' '){}|413 request too large
TABLE
# 200 connections from one address that send a byte of their headers every
# 2 s, 40 wrong passwords at once from another: a third is answered at once.
timeout 60 /usr/bin/python3 - $port >/tmp/flood.out <<'PY' &
import socket, sys, time
def connect(source, send=b""):
    s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), source_address=(source, 0))
    s.sendall(send)
    return s
def first_line(s):
    s.settimeout(20)
    return s.recv(100).split(b"\r\n")[0].decode()
slow = [connect("127.0.0.2") for _ in range(200)]
print("beyond the bound of an address:", first_line(slow[-1]))
wrong = [connect("127.0.0.3", b"GET / HTTP/1.1\r\nAuthorization: Basic bWU6d3Jvbmc=\r\n\r\n") for _ in range(40)]
open("/tmp/flood.go", "w").close()
for _ in range(6):
    for s in slow[:32]:
        s.send(b"G")
    time.sleep(2)
print("a header's byte every 2 s:", first_line(slow[0]))
print("a wrong password:", first_line(wrong[0]))
PY
flood=$!
wait_until test -e /tmp/flood.go
start=$(date +%s%N)
check "200 slow clients and 40 wrong passwords: another answered within a second" eval 'path=/api/progress \
    call --max-time 2 && [ "$code" = 200 ] && [ $(( ($(date +%s%N) - start) / 1000000 )) -lt 1000 ]'
path=/api/status call -H "X-Large: $(head -c 20000 /dev/zero | tr '\0' x)"
check "headers beyond the limit: refused" eval '[ "$code" -ge 400 ] && path=/api/progress call && [ "$code" = 200 ]'

while IFS='|' read -r name expect; do
    path="/api/upload?name=$name" call -X PUT -H "X-Nimbrel-Token: $token" -H "Origin: $url" --data-binary 'x'
    check "upload $name: refused" eval 'answered 409 "$expect"'
done <<'TABLE'
a%2Fb.img|file name with / or ..
..%2Fa.img|file name with / or ..
a..img|file name with / or ..
a%00.img|file name with a control character
a%0A.img|file name with a control character
notes.txt|no image file
single-part.img|file already in the store: single-part.img
TABLE
# raw LENGTH BYTES [cut]: an upload of which only BYTES of its body are
# sent, and then nothing (or its sending side closed); its answer in /tmp/raw.out.
raw() {
    timeout 30 /usr/bin/python3 - "$@" >/tmp/raw.out <<PY
import socket, sys
s = socket.create_connection(("127.0.0.1", $port))
s.sendall(b"PUT /api/upload?name=big.img HTTP/1.1\r\nHost: 127.0.0.1:$port\r\nOrigin: $url\r\n"
    b"X-Nimbrel-Token: $token\r\nAuthorization: Basic $(printf 'me:%s' "$password" | base64)\r\n"
    b"Content-Length: " + sys.argv[1].encode() + b"\r\n\r\n" + bytes(int(sys.argv[2])))
if len(sys.argv) > 3:
    s.shutdown(socket.SHUT_WR)
print(b"".join(iter(lambda: s.recv(65536), b"")).decode())
PY
}
while IFS='|' read -r what sent expect; do
    # shellcheck disable=SC2086
    raw $sent
    check "upload $what: $expect" eval 'head -1 /tmp/raw.out | grep -q "^HTTP/1.1 ${expect%% *}" &&
        grep -q "${expect#* }" /tmp/raw.out && [ "$(entries)" = "$before" ]'
done <<'TABLE'
larger than the free space|100000000 0|409 no Space !!!
beyond the limit|3000000000 0|409 file larger than 2048 MB: big.img
stalled|5000000 100000|408 upload incomplete: big.img
cut|5000000 100000 cut|400 upload incomplete: big.img
TABLE
path="/api/upload?name=z.img" call -X PUT -H "X-Nimbrel-Token: $token" -H "Origin: $url" -H 'Content-Encoding: gzip' \
    --data-binary x
check "an encoded upload: refused unread" answered 415 "request body with Content-Encoding gzip"

(cd /tmp/b && cp single-part.img new.img && md5sum new.img >new.img.md5)
# What a killed server left goes with the next upload; nothing else of the name.
head -c 100000 /dev/zero >$s/.upload-Ab12Cd && echo kept >$s/.upload-keep.me && mkdir $s/.upload-Dir000 &&
    echo outside >/tmp/b/outside && ln -s /tmp/b/outside $s/.upload-Ln11Kk
for name in new.img new.img.md5; do
    path="/api/upload?name=$name" call -X PUT -H "X-Nimbrel-Token: $token" -H "Origin: $url" --data-binary @/tmp/b/$name
    check "upload $name: whole under its name" eval 'answered 200 "uploaded $name" && cmp $s/$name /tmp/b/$name &&
        [ "$(stat -c %a $s/$name)" = 644 ]'
done
check "an upload's leftover: removed, the rest of its name kept" eval '[ ! -e $s/.upload-Ab12Cd ] &&
    [ -f $s/.upload-keep.me ] && [ -d $s/.upload-Dir000 ] && [ "$(cat $s/.upload-Ln11Kk)" = outside ]'
rm -r $s/.upload-keep.me $s/.upload-Dir000 $s/.upload-Ln11Kk
post /api/verify -d '{"file":"new.img"}'
path=/api/progress
check "verify the upload: its checksum file passes" wait_until eval 'call && has "$body" "new.img passes the checks, its checksum files too"'

post /api/install -d '{"file":"single-part.img","slot":0,"name":"Web"}'
check "install: started" answered 200 "install started"
post /api/install -d '{"file":"two-part.img","slot":2}'
check "a second installation: busy" answered 409 "image store is busy"
check "rename while it runs: busy" eval 'post /api/rename -d "{\"slot\":1,\"name\":\"X\"}" && answered 409 "image store is busy"'
path=/api/progress
check "its progress: running" eval 'call && has "$body" "\"running\":true"'
touch /tmp/go
check "its outcome: as nimbrel tells it" wait_until eval 'call && has "$body" "installed Web into slot 0"'
check "nothing of the refused ones in the store" eval '[ ! -e $s/image/2 ] && [ -e $s/image/0 ]'
check "the log names the page as the front end" grep -q "Z web install 0 done " "$s/nimbrel.log"
size_of_0() { path=/api/status call && printf '%s' "$body" | tr -d ' \n' | grep -o '"size_kb":[0-9null]*,"slot":0' ; }
check "status: the slot installed meanwhile gets its size measured" wait_until eval '
    [ "$(size_of_0)" = "\"size_kb\":$(du -sk $s/image/0 | cut -f1),\"slot\":0" ]'
post /api/backup -d '{"slot":0}'
path=/api/progress
check "backup: written into the store" wait_until eval 'call && has "$body" "backed up slot 0 (Web) to $s/Web-"'
backup=$(cd $s && ls Web-*.img)
path="/api/file?name=$backup" call -o /tmp/backup.img
check "backup: downloaded whole" eval '[ "$code" = 200 ] && cmp /tmp/backup.img $s/$backup'
for name in nimbrel-web.password ..%2Fs%2Fnew.img missing.img; do
    path="/api/file?name=$name" call
    check "download of $name: refused" eval '[ "$code" = 404 ] && ! has "$body" "$password"'
done
post /api/erase -d '{"slot":1,"confirm":"Other"}'
check "erase naming another image: refused" eval 'answered 409 "slot 1 is Alpha now, not erased" && [ -e $s/image/1 ]'
post /api/colour -d '{"colour":"pink"}'
check "an unknown colour: refused" answered 409 "unknown color: pink"
post /api/colour -d '{"colour":"cyan"}'
check "colour: set" answered 200 "menu color set to cyan (3)"
post /api/erase -d '{"slot":1,"confirm":"Alpha"}'
"$cli" --store /tmp/b install single-part.img --slot 0 --name Web >/dev/null 2>&1
"$cli" --store /tmp/b erase 1 --yes >/dev/null
"$cli" --store /tmp/b color cyan >/dev/null
check "erase, colour: the boot menu's bytes as nimbrel writes them" eval 'answered 200 "erased slot 1 (Alpha)" &&
    cmp $s/tools/menu /tmp/b/tools/menu && cmp $s/tools/lcdmenu.conf /tmp/b/tools/lcdmenu.conf'
post /api/install -d "{\"file\":\"$backup\",\"slot\":2,\"remove_file\":true}"
path=/api/progress
check "restore of the backup, asked to remove it: kept with its checksum files" wait_until eval 'call &&
    has "$body" "image file $backup kept (a backup" && [ -e $s/$backup.md5 ] && [ -e $s/$backup.sha256 ]'
post /api/install -d '{"file":"new.img","slot":3,"remove_file":true}'
path=/api/progress
check "install asked to remove the file: it goes with its checksum file" wait_until eval 'call &&
    has "$body" "image file new.img removed with new.img.md5" && [ ! -e $s/new.img.md5 ]'
many=""
for i in $(seq 20); do
    (path="/api/upload?name=many$i.img" call -X PUT -H "X-Nimbrel-Token: $token" -H "Origin: $url" \
        --data-binary @/tmp/b/single-part.img && echo "$code" >/tmp/many.$i) &
    many="$many $!"
done
# shellcheck disable=SC2086
wait $many
check "20 uploads at once: each answered, uploaded or busy" eval '[ "$(cat /tmp/many.* | grep -cx "200\|409")" = 20 ]'
wait $flood
check "the flood: refused beyond the bound, timed out after 10 s, slowed" diff - /tmp/flood.out <<'OUT'
beyond the bound of an address: HTTP/1.1 503 Service Unavailable
a header's byte every 2 s: HTTP/1.1 408 Request Timeout
a wrong password: HTTP/1.1 401 Unauthorized
OUT
finish
