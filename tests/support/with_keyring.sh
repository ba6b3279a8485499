#!/bin/sh
# Runs a command beside a Secret Service of its own: gnome-keyring-daemon,
# its login keyring unlocked, on a private D-Bus session bus, with a private
# home, so the user's own keyring is never seen or touched.
set -eu
if [ -z "${QUORVAMEL_KEYRING_BUS:-}" ]; then
    home=$(mktemp -d "${TMPDIR:-/tmp}/quorvamel-keyring.XXXXXX")
    trap 'rm -rf "$home"' EXIT
    mkdir -p "$home/data" "$home/config" "$home/cache" "$home/run"
    chmod 700 "$home/run"
    status=0
    HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
        XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run" QUORVAMEL_KEYRING_BUS=1 \
        dbus-run-session -- sh "$0" "$@" || status=$?
    exit "$status"
fi
# The daemon reads the login keyring's password on standard input, creates
# the keyring unlocked and leaves for the background.
printf 'keyring-test-password' | gnome-keyring-daemon --unlock --components=secrets >/dev/null
exec "$@"
