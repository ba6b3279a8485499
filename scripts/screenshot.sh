#!/bin/sh
# scripts/screenshot.sh [OUTPUT.png]: a picture of the window under Xvfb
# after two demo checks (the first check's mail marked seen, one new message
# since); default /tmp/quorvamel-demo.png.
# scripts/screenshot.sh FOLDER: a gallery instead, every page and dialog
# (mail list after a demo check, settings P. 1 to P. 3, accounts, account
# editor, sign-in dialog, log, menu, About box) at the default fonts
# (default-*.png) and at large ones (large-*.png), under Xvfb with the
# openbox window manager.
# Needs a build (scripts/build.sh).
set -eu
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
shot="$build/bin/quorvamel-demo-shot"
target=${1:-/tmp/quorvamel-demo.png}

case "$target" in
*.png) exec xvfb-run -a "$shot" "$target" ;;
esac

command -v openbox >/dev/null || {
    echo "screenshot.sh: openbox is needed for a gallery (apt-get install openbox)" >&2
    exit 1
}
mkdir -p "$target"

# A free display number: the first without a lock file.
n=90
while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
export DISPLAY=":$n"
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
wm_pid=
stop() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap stop EXIT INT TERM

tries=0
until xdpyinfo >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ "$tries" -lt 50 ] || { echo "screenshot.sh: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
openbox >/dev/null 2>&1 &
wm_pid=$!
sleep 1

status=0
QT_QPA_PLATFORM=xcb "$shot" --gallery "$target" || status=1
QT_QPA_PLATFORM=xcb "$shot" --gallery "$target" --large || status=1
exit $status
