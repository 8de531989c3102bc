#!/bin/sh
# Builds the Windows release package: a Release build of MARROWFIN.exe and
# marrowfin-check.exe in their own tree, then OUT/MARROWFIN-<version>-win32.zip
# with both programs, the user's README.txt, a sample IDString.txt and
# SHA256SUMS (pack.py). The same sources give the same bytes in any folder.
# Usage: dist.sh SOURCE_DIR BUILD_DIR OUT_DIR
# The zip's file times are SOURCE_DATE_EPOCH when set, else the time of the
# source tree's last commit.
set -e
src=$(cd "$1" && pwd)
build="$2"
out="$3"
[ -n "$build" ] && [ -n "$out" ] || { echo "usage: dist.sh SOURCE_DIR BUILD_DIR OUT_DIR" >&2; exit 2; }

version=$(sed -n 's/^#define MARROWFIN_VERSION_TEXT *"\([^"]*\)".*/\1/p' "$src/src/res/version.h")
[ -n "$version" ] || { echo "dist: no MARROWFIN_VERSION_TEXT in src/res/version.h" >&2; exit 1; }

if [ -z "$SOURCE_DATE_EPOCH" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$src" log -1 --format=%ct 2>/dev/null) \
        || { echo "dist: $src is no git checkout; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi

# Warnings are the business of the test trees: GCC 12 at -O3 warns about
# code the other builds accept, and a package must not depend on that.
cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/i686-w64-mingw32.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DMARROWFIN_WERROR=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target MARROWFIN marrowfin-check

# Debian's interpreter where there is one: zlib's deflate output then comes
# from the distribution's library, as on any other Debian 12 machine.
py=/usr/bin/python3
[ -x "$py" ] || py=python3
mkdir -p "$out"
"$py" "$src/tools/dist/pack.py" --version "$version" --epoch "$SOURCE_DATE_EPOCH" \
    --out "$out/MARROWFIN-$version-win32.zip" \
    --exe "$build/src/app/MARROWFIN.exe" --exe "$build/tools/check/marrowfin-check.exe" \
    --text "$src/tools/dist/README.txt" --text "$src/tools/dist/IDString.txt"
