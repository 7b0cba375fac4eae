#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user gets it: made with cpack from the built tree (no compiling),
# installed with apt, its programs started from /usr/bin (the window as an ordinary user
# under Xvfb), then purged, leaving nothing behind. Needs root, so it runs on CI's
# throw-away machine and skips elsewhere.
# $1: the build tree, $2: the screenshot folder.
set -euo pipefail
BUILD=$1
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: installing the package with apt needs root (CI runs the tests as root)"
    exit 77
fi
if dpkg-query -W -f='${Status}' corvane 2>/dev/null | grep -q "ok installed"; then
    echo "SKIP: a corvane package is already installed here; this test leaves it alone"
    exit 77
fi

source "$(dirname "$0")/e2e_lib.sh" /usr/bin/corvane "$2"
work=$(mktemp -d)
chmod 755 "$work"  # apt's download user reads the package from here
installed=""
purge() {
    cleanup
    if [ -n "$installed" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq corvane >/dev/null ||
            echo "FAIL: apt-get remove --purge corvane" >&2
    fi
    rm -rf "$work"
}
trap purge EXIT

(cd "$BUILD" && cpack -G DEB -B "$work/pkg" >/dev/null)
deb=$(ls "$work"/pkg/corvane_*_amd64.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
installed=yes
# Some minimal systems tell dpkg to drop manual pages; ours must stay to be checked.
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    -o Dpkg::Options::=--path-include=/usr/share/man/man1/corvane* "$deb" >/dev/null
dpkg -L corvane >"$work/files"

/usr/bin/corvane-report --json 2>/dev/null >"$work/report.json"
grep -q '"vendor"' "$work/report.json" || fail "corvane-report --json: $(head -c 300 "$work/report.json")"
[ "$(man -w corvane)" = /usr/share/man/man1/corvane.1.gz ] || fail "man -w corvane: $(man -w corvane 2>&1)"

# The window as an ordinary user with nothing but a writable home, both pictures decoded by
# the JPEG plugin of the Qt the package depends on.
start_xvfb
mkdir -m 700 "$work/home"
chown 65534:65534 "$work/home"
HOME=$work/home XDG_RUNTIME_DIR=$work/home \
    setpriv --reuid=65534 --regid=65534 --clear-groups /usr/bin/corvane &
APP_PID=$!
wait_for_window '^Form2$' 30 >/dev/null || fail "splash window did not appear"
import -window root -crop 320x225+350+250 +repage "$SHOTS/installed-splash.png"
xdotool search --onlyvisible --name '^Form2$' >/dev/null ||
    fail "the splash was gone before its screenshot was complete"
expect_splash_picture installed-splash
WINDOW=$(wait_for_window "^Corvane v" 60) || fail "main window did not appear"
[ "$(xdotool getwindowname "$WINDOW")" = "$TITLE" ] || fail "title: $(xdotool getwindowname "$WINDOW")"
sleep 2.5  # one refresh of the core clock
screenshot installed-window
expect_page_picture installed-window
click_at 355 469  # CLOSE on "CPU Benchmark "
expect_exit_zero 10

installed=""
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq corvane >/dev/null
dpkg-query -W -f='${Status}' corvane 2>/dev/null | grep -q . && fail "still known to dpkg"
while read -r path; do
    # Shared folders such as /usr/bin stay; ours must be gone, with every file.
    if [ -d "$path" ]; then
        [ -z "$(find "$path" -maxdepth 0 -empty)" ] || fail "empty folder left: $path"
    elif [ -e "$path" ] || [ -L "$path" ]; then
        fail "left behind: $path"
    fi
done <"$work/files"
echo "package installed, ran from /usr/bin as an ordinary user, and purged without a trace"
