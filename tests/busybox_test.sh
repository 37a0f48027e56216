#!/bin/sh
# The box's tools (scripts/ns-run with NIMBREL_TOOLS=busybox: busybox's
# applets, a mount without offset=) beside this machine's: the same steps of
# nimbrel leave the same boot menu, slots and overview.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
runs=/tmp/runs

# Both start from two images of one tree holding a set-user-ID file and a device.
mkdir $runs
"$NIMBREL_SOURCE/scripts/make-demo-store" $runs/template >/dev/null
rm $runs/template/*.img
"$NIMBREL_SOURCE/scripts/make-image" --tree $runs/tree
(cd $runs/tree && echo su >bin/su && chmod 4755 bin/su && mkdir dev && mknod dev/null c 1 3)
"$NIMBREL_SOURCE/scripts/make-image" --from $runs/tree $runs/template/one.img
"$NIMBREL_SOURCE/scripts/make-image" --two-part --from $runs/tree $runs/template/two.img

# steps NAME TOOLS: nimbrel's steps on $runs/NAME with TOOLS; beside it
# NAME.tools, what the plug-in's shell finds, and NAME.status, the overview
# without the times of installation.
steps() {
    NIMBREL_IN_NS='' NIMBREL_TOOLS=$2 "$NIMBREL_SOURCE/scripts/ns-run" sh -c '
        store=$2/$1 box_path=/bin:/sbin:/usr/bin:/usr/sbin
        plugin_path=$NIMBREL_BUILD/pchost-bin:$box_path
        busybox=$(command -v busybox)
        cp -a "$2/template" "$store"
        for tool in cp dd umount rm mv mkdir sed chmod ls du; do
            file=$(env -i PATH="$plugin_path" /bin/sh -c "command -v $tool")
            if [ "$file" -ef "$busybox" ]; then echo "$tool busybox"; else echo "$tool $file"; fi
        done >"$store.tools"
        mkdir "$2/$1-mount"
        env -i PATH="$plugin_path" /bin/sh -c "mount -t squashfs -o loop,offset=1179648 $store/two.img $2/$1-mount \
            2>/dev/null; echo mount offset= \$?; umount $2/$1-mount 2>/dev/null; mount --help 2>&1 | head -n 1" \
            >>"$store.tools"
        nimbrel() { env -i PATH=$box_path "$NIMBREL_BUILD/nimbrel" --store "$store" "$@" >/dev/null 2>&1 ||
            echo "nimbrel $* failed" >>"$store.tools"; }
        nimbrel install one.img --slot 1 --name One
        nimbrel install two.img --slot 3
        nimbrel install one.img --slot 5
        nimbrel rename 1 Uno
        nimbrel color 5
        nimbrel erase 5 --yes
        env -i PATH=$box_path "$NIMBREL_BUILD/nimbrel" --store "$store" status |
            sed -n "/^[0-9]/{s/ [0-9-]*T[0-9:]*Z / /;p;}" >"$store.status"
    ' sh "$1" $runs
}
# The slots' entries of store NAME but the details (they hold times).
slots() {
    cd "$runs/$1/image" && find . ! -name 'Image.details*' -printf '%p %M %l\n' | sort &&
        find . -type f ! -name 'Image.details*' -exec sha256sum {} + | sort
}

steps pc ""
steps box busybox
applets=$(printf '%s busybox\n' cp dd umount rm mv mkdir sed chmod ls du)
check "box: the plug-in's shell finds busybox's applets; mount refuses offset=, hands the rest to busybox" \
    test "$(cat $runs/box.tools)" = "$applets
mount offset= 32
$(busybox 2>&1 | head -n 1)"
check "pc: this machine's tools, its mount taking offset=" eval '! grep -q busybox $runs/pc.tools &&
    grep -qx "mount offset= 0" $runs/pc.tools && [ $(wc -l <$runs/pc.tools) = 12 ]'
check "the same boot menu bytes" eval 'cmp $runs/pc/tools/menu $runs/box/tools/menu &&
    cmp $runs/pc/tools/lcdmenu.conf $runs/box/tools/lcdmenu.conf && grep -q "^menu_items=TovraImage,Uno,Image-3,$" \
    $runs/box/tools/lcdmenu.conf && grep -qx menu_color=5 $runs/box/tools/lcdmenu.conf'
check "the same slot trees, the set-user-ID bit and the device kept" eval '[ "$(slots pc)" = "$(slots box)" ] &&
    slots box | grep -q "^./3/bin/su -rwsr-xr-x" && slots box | grep -q "^./1/dev/null crw" &&
    [ "$(ls $runs/box/image)" = "1
3" ]'
check "the same overview" eval '[ -s $runs/box.status ] && cmp $runs/pc.status $runs/box.status'
# shellcheck disable=SC2016
check "busybox-sh: /bin/sh is busybox's ash" test "$(NIMBREL_IN_NS='' NIMBREL_TOOLS=busybox-sh \
    "$NIMBREL_SOURCE/scripts/ns-run" /bin/sh -c '[ /proc/$$/exe -ef "$1" ] && echo ash' sh "$(command -v busybox)")" = ash
finish
