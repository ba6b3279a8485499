#!/bin/sh
# Installs the Debian 12 packages that Quorvamel needs to build, run, test
# and benchmark. Safe to run again: apt-get skips what is there.
set -eu
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: run as root (or with sudo)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    cmake ninja-build g++ make pkg-config \
    qt6-base-dev libgl-dev libgsasl-dev zlib1g-dev \
    dovecot-core dovecot-pop3d openssl ca-certificates \
    dpkg-dev debootstrap xdotool desktop-file-utils \
    openbox trayer wmctrl \
    python3 xvfb xauth x11-utils >/dev/null
# The test X session manager (tests/support/xsmp_manager.cpp) builds on libSM and libICE.
apt-get install -y -qq --no-install-recommends libsm-dev libice-dev >/dev/null
# Sign-in: OAuth2 (QtNetworkAuth), the desktop's Secret Service (libsecret), and the
# keyring and private D-Bus session the tests run it in.
apt-get install -y -qq --no-install-recommends qt6-networkauth-dev libsecret-1-dev \
    gnome-keyring dbus-daemon >/dev/null
# The desktop's opener the window hands the provider's sign-in page to, and
# the client the sign-in tests' scripted browser follows the page with.
apt-get install -y -qq --no-install-recommends xdg-utils curl >/dev/null
