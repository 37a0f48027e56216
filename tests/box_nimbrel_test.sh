#!/bin/sh
# shellcheck disable=SC2016 # the checks' eval expands them
# The box's nimbrel (this PowerPC build's, stripped as scripts/box-build
# ships it) run by qemu-ppc, and the PC build's: the same steps on the same
# fresh store give the same output, JSON, boot menu and slot trees but for
# free space and install times (the box's is checked to be this year's, in UTC).
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
pc=$NIMBREL_PC_BUILD/nimbrel
box=/tmp/box/nimbrel
mkdir -p /tmp/box
powerpc-linux-gnu-strip -o "$box" "$NIMBREL_BUILD/nimbrel"
# This kernel has no cramfs: both take the PC build's stand-in mount from
# beside themselves, as a box's kernel would mount it.
ln -s "$NIMBREL_PC_BUILD/pchost-bin" /tmp/box/pchost-bin
check "the PC build's nimbrel is at $pc (scripts/test builds it first)" test -x "$pc"
check "the box's nimbrel is a static, stripped 32-bit PowerPC program" eval 'file "$box" |
    grep -q "32-bit MSB.*PowerPC.*statically linked.*stripped" && ! file "$box" | grep -q "not stripped"'

"$NIMBREL_SOURCE/scripts/make-demo-store" /tmp/template >/dev/null
# Runs every step with nimbrel $1 on a fresh copy of /tmp/template in /tmp/store into /tmp/$2.out
# and the store's files, their modes and contents into /tmp/$2.tree.
steps() {
    rm -rf /tmp/store
    cp -a /tmp/template /tmp/store
    for step in "status" "install single-part.img --slot 1 --name One" "install two-part.img --slot 3" \
        "rename 1 Renamed" "status" "erase 3 --yes" "color cyan" "status" "images"; do
        # shellcheck disable=SC2086
        "$1" --store /tmp/store $step --json 2>&1
        echo "status $?"
    done | tee "/tmp/$2.raw" | sed 's/"free_kb": [0-9]*/"free_kb": N/; s/"installed": "[^"]*"/"installed": T/' >"/tmp/$2.out"
    # The lock's record names the last holder's process.
    (cd /tmp/store && find . ! -name .nimbrel-lock -printf '%y %m %s %p\n' | sort &&
        find . -type f ! -name nimbrel.log ! -name .nimbrel-lock -exec md5sum {} + | grep -v Image.details | sort &&
        find . -name Image.details -exec sed 's/^installed=.*/installed=T/' {} +) >"/tmp/$2.tree"
}
steps "$pc" pc
steps "$box" box
check "status, install, rename, erase, colour: the same output and JSON" cmp /tmp/pc.out /tmp/box.out
check "the same boot menu bytes and slot trees" cmp /tmp/pc.tree /tmp/box.tree
check "the box's install time is this year's, in UTC" grep -q "\"installed\": \"$(date -u +%Y)-.*Z\"" /tmp/box.raw
check "each step succeeded" eval '[ "$(grep -c "^status 0$" /tmp/box.out)" = 9 ]'

# The package of that nimbrel, unpacked as opkg does.
mkdir -p /tmp/pkg/box/usr/bin /tmp/unpacked
cp "$box" /tmp/pkg/box/usr/bin/nimbrel
package=$("$NIMBREL_SOURCE/scripts/box-package" /tmp/pkg)
(cd /tmp/unpacked && ar x "$package" && mkdir data control && tar -C data -xzf data.tar.gz &&
    tar -C control -xzf control.tar.gz)
field() { sed -n "s/^$1: //p" /tmp/unpacked/control/control; }
check "the package: debian-binary, control.tar.gz, data.tar.gz, in that order" \
    eval '[ "$(ar t "$package" | tr "\n" " ")" = "debian-binary control.tar.gz data.tar.gz " ] &&
    [ "$(cat /tmp/unpacked/debian-binary)" = 2.0 ]'
check "its data: /usr/bin/nimbrel and the page's start script, executable, owned by root" eval '
    cmp "$box" /tmp/unpacked/data/usr/bin/nimbrel && [ "$(tar -tzf /tmp/unpacked/data.tar.gz | grep -v /$ |
    tr "\n" " ")" = "./etc/init.d/nimbrel-web ./etc/rc3.d/S95nimbrel-web ./usr/bin/nimbrel " ] &&
    [ "$(readlink /tmp/unpacked/data/etc/rc3.d/S95nimbrel-web)" = ../init.d/nimbrel-web ] &&
    [ "$(tar -tvzf /tmp/unpacked/data.tar.gz ./usr/bin/nimbrel ./etc/init.d/nimbrel-web | cut -c1-14 | sort -u)" = "-rwxr-xr-x 0/0" ]'
check "removing it stops the page first" grep -qx "\[ ! -x /etc/init.d/nimbrel-web \] || /etc/init.d/nimbrel-web stop" \
    /tmp/unpacked/control/prerm
version=$("$pc" --version | sed -n "s/^Nimbrel V\([0-9.]*\) .*/\1/p")
check "its control: name, version $version, powerpc, maintainer, description, size" eval '[ "$(field Package)" = nimbrel ] &&
    [ -n "$version" ] && [ "$(field Version)" = "$version" ] && [ "$(field Architecture)" = powerpc ] &&
    [ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] &&
    [ "$(field Installed-Size)" = "$(du -sk --apparent-size /tmp/unpacked/data | cut -f1)" ]'
# The start script under the box's shell, on the box's nimbrel.
init=/tmp/unpacked/data/etc/init.d/nimbrel-web port=$("$NIMBREL_SOURCE/scripts/free-port")
export NIMBREL="$box" NIMBREL_WEB_CONF=/tmp/web.conf NIMBREL_WEB_PID=/tmp/run/web.pid NIMBREL_WEB_LOG=/tmp/log/web.log
check "the start script starts nothing until the store is named" eval '[ "$(busybox sh $init start)" = \
    "nimbrel-web: not enabled (store=DIR in /tmp/web.conf)" ] && [ ! -e /tmp/run/web.pid ]'
printf 'store=/tmp/store\nlisten=127.0.0.1:%s\n' "$port" >/tmp/web.conf
busybox sh $init start >/dev/null
check "enabled, it serves the store, once" eval 'wait_until grep -qs "serving /tmp/store" /tmp/log/web.log &&
    [ "$(curl -s -o /dev/null -w %{http_code} http://127.0.0.1:$port/)" = 401 ] &&
    busybox sh $init start | grep -q "running" && [ "$(grep -c serving /tmp/log/web.log)" = 1 ]'
busybox sh $init stop
check "stopped: no server, no pid file" eval '! busybox sh $init status >/dev/null && [ ! -e /tmp/run/web.pid ] &&
    wait_until eval "! curl -s http://127.0.0.1:$port/ >/dev/null"'
diff /tmp/pc.out /tmp/box.out >&2
diff /tmp/pc.tree /tmp/box.tree >&2
finish
