#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks the tree as a packager would:
# programs, desktop entry, AppStream metadata, icons and manual pages.
# Usage: check_install.sh BUILD-DIR APP-ID
set -euo pipefail
build=$1
id=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" > /dev/null

for program in tarvenit tarvenit-module-sim; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is missing"
done
"$prefix/bin/tarvenit-module-sim" --help > /dev/null || fail "tarvenit-module-sim --help failed"

desktop="$prefix/share/applications/$id.desktop"
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"

metainfo="$prefix/share/metainfo/$id.metainfo.xml"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli: $out"
if grep -E '^[EW]:' <<< "$out"; then fail "appstreamcli reports errors or warnings"; fi

# Every size a PNG of exactly that size: the signature, then the IHDR width and height.
for size in 16 32 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
    if [ ! -f "$png" ]; then
        fail "no ${size} px icon"
        continue
    fi
    signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
    read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png")
    [ "$signature" = 89504e470d0a1a0a ] || fail "${size} px icon is not a PNG"
    [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "${size} px icon is ${width}x${height}"
done
[ -s "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon"

for page in tarvenit tarvenit-module-sim; do
    file="$prefix/share/man/man1/$page.1.gz"
    if [ ! -f "$file" ]; then
        fail "no manual page $page(1)"
        continue
    fi
    out=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 > /dev/null)
    [ -z "$out" ] || fail "$page(1) renders with warnings: $out"
done

[ "$failures" -eq 0 ] || exit 1
echo "install tree: every check passed"
