#!/bin/bash
# Installs what is needed, builds, starts a private Dovecot on loopback with
# sample mail and opens the program on a throw-away home folder whose
# accounts point at it. Closing the program stops the demo server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build=${BUILD_DIR:-build}
home=$(mktemp -d /tmp/quorvamel-demo.XXXXXX)

# The server lives while this script holds the pipe to its standard input.
mkfifo "$home/.server-input"
exec 3<>"$home/.server-input"
"$build/bin/quorvamel-demo-server" "$home" <"$home/.server-input" >"$home/.server-log" 2>&1 &
server=$!
trap 'exec 3>&-; kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q '^ready' "$home/.server-log" && break
    kill -0 "$server" 2>/dev/null || { cat "$home/.server-log" >&2; exit 1; }
    sleep 0.1
done
grep '^ready' "$home/.server-log"
echo "Demo home folder: $home"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running the window under Xvfb (xvfb-run -a), where it is not visible." >&2
    echo "On a desktop, run this script from a terminal inside the desktop session." >&2
    HOME="$home" xvfb-run -a "$build/bin/quorvamel"
else
    HOME="$home" "$build/bin/quorvamel"
fi
