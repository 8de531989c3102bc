#!/bin/sh
# Checks that the release package is reproducible: builds it a second time
# from a copy of the checkout in another folder (another path, of another
# length) and compares both programs and the zip byte for byte with the
# first build. Also checks that neither checkout's path got into a program.
# Usage: check-repro.sh SOURCE_DIR BUILD_DIR OUT_DIR  (those of the first build)
set -e
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
out=$(cd "$3" && pwd)
version=$(sed -n 's/^#define MARROWFIN_VERSION_TEXT *"\([^"]*\)".*/\1/p' "$src/src/res/version.h")
zip="MARROWFIN-$version-win32.zip"
[ -f "$out/$zip" ] || { echo "check-repro: $out/$zip is missing; run make dist first" >&2; exit 1; }

tmp=$(mktemp -d /tmp/marrowfin-repro.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
copy="$tmp/second-checkout-of-marrowfin"

# The working tree as the first build saw it: tracked files with their
# uncommitted changes, and files not yet added, but nothing ignored (no
# build trees, no dist/).
mkdir -p "$copy"
(cd "$src" && git ls-files -z --cached --others --exclude-standard) |
    (cd "$src" && xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh) |
    (cd "$src" && tar --null -T - -cf -) | tar -xf - -C "$copy"

# Bring the first build up to the copied sources (nothing to do unless a
# file changed since it ran), then build the copy.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct)}
"$src/tools/dist/dist.sh" "$src" "$build" "$out" >"$tmp/first.log" 2>&1 \
    || { cat "$tmp/first.log"; echo "check-repro: the first build failed" >&2; exit 1; }
"$src/tools/dist/dist.sh" "$copy" "$copy/build/dist" "$copy/dist" >"$tmp/second.log" 2>&1 \
    || { cat "$tmp/second.log"; echo "check-repro: the second build failed" >&2; exit 1; }

status=0
compare() {
    if ! cmp "$1" "$2"; then
        echo "check-repro: NOT REPRODUCIBLE: $3 differs between $1 and $2" >&2
        cmp -l "$1" "$2" | head -n 20 >&2
        status=1
    fi
}
compare "$build/src/app/MARROWFIN.exe" "$copy/build/dist/src/app/MARROWFIN.exe" MARROWFIN.exe
compare "$build/tools/check/marrowfin-check.exe" "$copy/build/dist/tools/check/marrowfin-check.exe" marrowfin-check.exe
compare "$out/$zip" "$copy/dist/$zip" "$zip"

for exe in "$build/src/app/MARROWFIN.exe" "$build/tools/check/marrowfin-check.exe" \
           "$copy/build/dist/src/app/MARROWFIN.exe" "$copy/build/dist/tools/check/marrowfin-check.exe"; do
    if strings -a "$exe" | grep -F -e "$src" -e "$copy" -e "$build" >&2; then
        echo "check-repro: $exe holds a build folder path (above)" >&2
        status=1
    fi
done
if [ $status -ne 0 ] && ! (cd "$copy" && find . -path ./build -prune -o -path ./dist -prune -o -type f -print0 |
        xargs -0 sh -c 'for f; do cmp -s "$f" "'"$src"'/$f" || { echo "$f"; exit 1; }; done' sh) >&2; then
    echo "check-repro: the file above changed in $src while the check ran; run it again" >&2
fi
[ $status -eq 0 ] && echo "check-repro: $zip and both programs are the same bytes from $copy"
exit $status
