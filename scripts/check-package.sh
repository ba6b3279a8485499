#!/bin/bash
# Installs build-package/quorvamel_*.deb (made by scripts/package.sh) into a
# clean Debian 12 root and checks that it works there:
#   - debootstrap --variant=minbase makes the root; apt-get installs the .deb
#     with --no-install-recommends, so the package's own Depends must suffice;
#   - quorvamel-check --help runs;
#   - the menu entry's Exec line starts the program under Xvfb, as an
#     unprivileged user with a fresh HOME, and its window appears;
#   - the program found the template beside its real executable (the data
#     folder holds a byte-for-byte copy) and the help page there too (the
#     Help menu hands file:///usr/lib/quorvamel/QuorvamelHelp.htm to
#     xdg-open, stood in for by a script that records its argument).
# The program runs inside the root (chroot, with /proc mounted so it can
# resolve /proc/self/exe) and talks to an Xvfb on the host through X's
# abstract socket, which a chroot shares.
#
# Needs root, debootstrap, xvfb, x11-utils, xdotool and desktop-file-utils
# (imagemagick too for a screenshot), and the network to a Debian mirror ($MIRROR).
# KEEP_ROOT=1 leaves the root in place for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-package}
mirror=${MIRROR:-http://deb.debian.org/debian}
cache=$PWD/$build/debootstrap-cache
shot=$PWD/$build/check-package-window.png

if [ "$(id -u)" -ne 0 ]; then
    echo "check-package.sh: run as root (debootstrap and chroot need it)" >&2
    exit 2
fi
for tool in debootstrap chroot Xvfb xdpyinfo xwininfo xdotool desktop-file-validate; do
    command -v "$tool" >/dev/null || {
        echo "check-package.sh: $tool is missing (apt-get install debootstrap xvfb x11-utils xdotool desktop-file-utils)" >&2
        exit 2
    }
done
debs=("$build"/quorvamel_*.deb)
if [ ! -f "${debs[0]}" ]; then
    echo "check-package.sh: no $build/quorvamel_*.deb; run scripts/package.sh first" >&2
    exit 2
fi
deb=${debs[0]}

root=$(mktemp -d /var/tmp/quorvamel-root.XXXXXX)
chmod 755 "$root" # mktemp makes it owner-only; the program runs as nobody
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    # Unmount whatever is mounted inside the root, deepest first, and never
    # remove the root while anything is still mounted in it.
    awk -v r="$root/" 'index($2, r) == 1 { print $2 }' /proc/mounts | sort -r |
        while read -r m; do umount -l "$m" || true; done
    if awk -v r="$root/" 'index($2, r) == 1 { found = 1 } END { exit !found }' /proc/mounts; then
        echo "check-package.sh: mounts left in $root; not removing it" >&2
    elif [ "${KEEP_ROOT:-0}" = 1 ]; then
        echo "root kept at $root"
    else
        rm -rf "$root"
    fi
}
trap cleanup EXIT

passed=0
failed=0
check() { # check NAME COMMAND...
    local name=$1
    shift
    if "$@"; then
        echo "PASS: $name"
        passed=$((passed + 1))
    else
        echo "FAIL: $name"
        failed=$((failed + 1))
    fi
}
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin "$@"; }
seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(seconds)" 'BEGIN { printf "%.1f s", b - a }'; }

echo "== package: $deb ($(stat -c %s "$deb") bytes)"
echo "== debootstrap bookworm (minbase) into $root from $mirror"
mkdir -p "$cache"
t=$(seconds)
if ! debootstrap --variant=minbase --cache-dir="$cache" bookworm "$root" "$mirror" \
    >"$root.debootstrap.log" 2>&1; then
    tail -20 "$root.debootstrap.log" >&2
    echo "check-package.sh: debootstrap failed (log above)" >&2
    exit 2
fi
rm -f "$root.debootstrap.log"
echo "   done in $(elapsed "$t"), root $(du -sh "$root" | cut -f1)"

cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"
echo "== apt-get install --no-install-recommends ./$(basename "$deb")"
t=$(seconds)
in_root DEBIAN_FRONTEND=noninteractive sh -c \
    "apt-get update -qq && apt-get install -y --no-install-recommends /tmp/$(basename "$deb")" \
    >"$build/check-package-apt.log" 2>&1 || {
    tail -20 "$build/check-package-apt.log" >&2
    echo "check-package.sh: apt-get install failed (log: $build/check-package-apt.log)" >&2
    exit 1
}
echo "   done in $(elapsed "$t"); $(grep -E '^(Need to get|After this operation)' "$build/check-package-apt.log" | tr '\n' ' ')"

echo "== checks"
check "package is installed" \
    test "$(in_root dpkg-query -W -f='${Status}' quorvamel)" = "install ok installed"

help_out=$(in_root HOME=/tmp quorvamel-check --help 2>&1) && help_rc=0 || help_rc=$?
printf '%s\n' "$help_out" | sed 's/^/   | /'
check "quorvamel-check --help exits 0 with its usage" \
    sh -c "[ $help_rc -eq 0 ] && printf '%s' \"\$1\" | grep -q '^Usage: quorvamel-check'" _ "$help_out"

program_dir=$root/usr/lib/quorvamel
check "/usr/bin/quorvamel leads to /usr/lib/quorvamel/quorvamel" \
    test "$(in_root readlink -f /usr/bin/quorvamel)" = /usr/lib/quorvamel/quorvamel
check "/usr/bin/quorvamel-check leads to /usr/lib/quorvamel/quorvamel-check" \
    test "$(in_root readlink -f /usr/bin/quorvamel-check)" = /usr/lib/quorvamel/quorvamel-check
check "template beside the program, 614 bytes, mode 644" \
    test "$(stat -c '%s %a' "$program_dir/quorvamel.ini" 2>/dev/null)" = "614 644"
check "help page beside the program, mode 644" \
    test "$(stat -c %a "$program_dir/QuorvamelHelp.htm" 2>/dev/null)" = 644
check "icon in hicolor/scalable/apps" \
    test -s "$root/usr/share/icons/hicolor/scalable/apps/quorvamel.svg"
check "menu entry is a valid desktop file" \
    desktop-file-validate "$root/usr/share/applications/quorvamel.desktop"
check "no test, bench or demo programs installed" \
    sh -c "! chroot '$root' dpkg -L quorvamel | grep -E '/(test_|bench|check_throughput|.*demo|quorvamel-mktemplate)'"

# The window program, started the way a menu starts it.
display=
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=:$n
        break
    fi
done
[ -n "$display" ] || { echo "check-package.sh: no free X display number" >&2; exit 2; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$build/check-package-xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done

home=/tmp/quorvamel-home
install -d -o nobody -g nogroup "$root$home"
# Stands in for xdg-open: records what the program asks it to open.
cat >"$root/usr/local/bin/xdg-open" <<'EOF'
#!/bin/sh
printf '%s\n' "$@" >>"$HOME/xdg-open.log"
EOF
chmod 755 "$root/usr/local/bin/xdg-open"

exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/quorvamel.desktop" | sed 's/ *%[a-zA-Z]//g')
echo "== starting the menu entry's Exec line \"$exec_line\" as nobody on $display"
t=$(seconds)
chroot --userspec=nobody:nogroup "$root" /usr/bin/env -i \
    PATH=/usr/local/bin:/usr/bin:/bin HOME="$home" DISPLAY="$display" LANG=C.UTF-8 \
    sh -c "exec $exec_line" >"$build/check-package-app.log" 2>&1 &
app_pid=$!
window=
for _ in $(seq 150); do
    window=$(DISPLAY=$display xdotool search --onlyvisible --classname '^quorvamel$' 2>/dev/null | head -1) || true
    [ -n "$window" ] && break
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -n "$window" ]; then
    echo "   window $window \"$(DISPLAY=$display xdotool getwindowname "$window")\" after $(elapsed "$t")"
fi
check "the program's window is shown" \
    sh -c "[ -n '$window' ] && DISPLAY=$display xwininfo -id '$window' | grep -q 'Map State: IsViewable'"
sleep 1
# A screenshot to look at, where ImageMagick is installed.
if command -v import >/dev/null; then
    DISPLAY=$display import -window root "$shot" && echo "   screenshot: $shot"
fi

data=$root$home/Application\ Data/Quorvamel
check "template found beside the real executable and copied to the data folder" \
    cmp -s "$program_dir/quorvamel.ini" "$data/quorvamel.ini"

# Help: the Menu button (bottom row, 4132 twips from the left = 275 px,
# centre 35 px above the bottom edge), then its &Help item.
if [ -n "$window" ]; then
    eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$window")"
    DISPLAY=$display xdotool mousemove $((X + 275)) $((Y + HEIGHT - 35)) click 1
    sleep 0.5
    DISPLAY=$display xdotool key h
    for _ in $(seq 50); do [ -s "$root$home/xdg-open.log" ] && break; sleep 0.1; done
fi
opened=$(cat "$root$home/xdg-open.log" 2>/dev/null || true)
echo "   Help opened: ${opened:-nothing}"
check "Help opens the page beside the real executable" \
    sh -c "[ '$opened' = file:///usr/lib/quorvamel/QuorvamelHelp.htm ] && [ -f '$program_dir/QuorvamelHelp.htm' ]"

if [ -s "$build/check-package-app.log" ]; then
    echo "   program output:"
    sed 's/^/   | /' "$build/check-package-app.log"
fi
kill "$app_pid" 2>/dev/null || true
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
app_pid=

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
