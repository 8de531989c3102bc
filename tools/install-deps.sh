#!/bin/sh
# Installs the Debian packages the build and the test suites need, once.
# Idempotent: does nothing when everything is present.
set -e
PKGS="cmake make g++ git binutils googletest libgtest-dev libbenchmark-dev
      g++-mingw-w64-i686-posix mingw-w64-tools
      wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick
      fonts-wine fonts-liberation srecord python3 python3-intelhex
      clang libfuzzer-14-dev gcc-multilib g++-multilib sg3-utils"
missing=""
for p in $PKGS; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' \
        || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "Installing:$missing"
if ! dpkg --print-foreign-architectures | grep -q i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
