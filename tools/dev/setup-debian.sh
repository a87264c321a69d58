#!/usr/bin/env bash
# Installs everything that building, running and testing Quorvane needs on Debian 12 (bookworm)
# or 13 (trixie): every package name here exists in both releases.
set -euo pipefail
release=$(sed -n "s/^VERSION_CODENAME=//p" /etc/os-release)
case "$release" in
bookworm | trixie) ;;
*) echo "setup-debian: tested on Debian 12 (bookworm) and 13 (trixie), not on '$release'; trying anyway" >&2 ;;
esac
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
packages=(
    # build
    cmake ninja-build g++ clang libclang-rt-dev pkg-config
    libpng-dev libdeflate-dev libexpected-dev libgtest-dev libbenchmark-dev
    # windows and help
    qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev qt6-translations-l10n qt6-l10n-tools
    qt6-tools-dev qt6-tools-dev-tools assistant-qt6 qt6-documentation-tools libqt6sql6-sqlite libsqlite3-dev
    sqlite3
    # the manual pages, the Debian packages and their checks
    scdoc dpkg-dev debhelper file lintian devscripts appstream desktop-file-utils debootstrap autopkgtest
    # fonts for the Japanese captions
    fonts-noto-cjk
    # real Windows files and independent readers used as test oracles
    wine64 libwine fonts-wine nsis icoutils imagemagick binutils-mingw-w64-x86-64
    # a real X server for screenshots and desktop tests
    xvfb xauth x11-apps x11-utils xdotool xclip openbox
    # Qt's Wayland platform, for a session that asks for it (QT_QPA_PLATFORM=wayland)
    qt6-wayland
    # session buses for the help viewer and the thumbnail services; the font that numbers the
    # parts on the help's picture of the main window
    dbus fonts-dejavu-core
    # the thumbnail services of file managers, for the thumbnailer's tests and screenshot:
    # tumbler (and Thunar), GNOME's thumbnail factory and the sandbox it runs thumbnailers in
    tumbler thunar libglib2.0-bin shared-mime-info python3-gi gir1.2-gnomedesktop-4.0 bubblewrap
    # linters: the C++ ones at the version that both releases carry, so that their verdict is the
    # same on both; black (23 and 25) and shfmt (3.6 and 3.8) agree on the code as it is written
    clang-format-19 clang-tidy-19 shellcheck black shfmt
    # benchmarks
    hyperfine valgrind dbus time python3 icoextract
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
