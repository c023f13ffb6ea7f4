#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a build into a temporary prefix and checks the tree as a packager would:
# programs, desktop entry, AppStream metadata, icons, manual pages, licence and the
# package's relations.
# Usage: check_install.sh BUILD-DIR APP-ID SOURCE-DIR
set -euo pipefail
build=$1
id=$2
source=$3
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
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" ||
    fail "AppStream project_license is not GPL-3.0-or-later"

# The sequences that come with the tool, to be read and copied.
for name in pair-and-connect read-pairing factory-reset; do
    cmp -s "$source/sequences/$name.txt" "$prefix/share/tarvenit/sequences/$name.txt" ||
        fail "sequence $name.txt is not installed"
done

# The licence: its text at the root, and a machine-readable copyright file that points
# to Debian's copy of it.
cmp -s "$source/COPYING" /usr/share/common-licenses/GPL-3 || fail "COPYING is not the GPL-3"
copyright="$prefix/share/doc/tarvenit/copyright"
head -n1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
    fail "copyright is not in the machine-readable format"
grep -q '^License: GPL-3+$' "$copyright" || fail "copyright does not name GPL-3+"
grep -q '/usr/share/common-licenses/GPL-3' "$copyright" || fail "copyright does not point to GPL-3"

# Every caption is Chinese: a CJK font is a dependency, not a recommendation. The
# window on Wayland needs qt6-wayland.
cpack="$build/CPackConfig.cmake"
grep -q '^set(CPACK_DEBIAN_PACKAGE_DEPENDS "[^"]*fonts-wqy-microhei | fonts-noto-cjk' "$cpack" ||
    fail "the package does not depend on a CJK font"
grep -q '^set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "[^"]*qt6-wayland' "$cpack" ||
    fail "the package does not recommend qt6-wayland"

# Every size a PNG of exactly that size: the signature, then the IHDR width and height.
for size in 16 24 32 48 64 128 256; do
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
# The small sizes have their own drawing: not the full one scaled down.
for size in 16 24; do
    full=$(rsvg-convert --width=$size --height=$size "$source/data/tarvenit.svg" | md5sum)
    installed=$(md5sum < "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")
    [ "$full" != "$installed" ] || fail "${size} px icon is the full drawing scaled down"
done

# tarvenit(1) in English and in Chinese.
for file in man1/tarvenit man1/tarvenit-module-sim zh_CN/man1/tarvenit; do
    file="$prefix/share/man/$file.1.gz"
    if [ ! -f "$file" ]; then
        fail "no manual page $file"
        continue
    fi
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 > /dev/null)
    [ -z "$out" ] || fail "$file renders with warnings: $out"
done
MANWIDTH=80 man -l "$prefix/share/man/man1/tarvenit.1.gz" 2> /dev/null |
    grep -Eq '^ +-v, --version$' || fail "tarvenit(1) does not describe --version"
MANWIDTH=80 man -l "$prefix/share/man/man1/tarvenit.1.gz" 2> /dev/null |
    grep -Eq '^ +--lang language$' || fail "tarvenit(1) does not describe --lang"

[ "$failures" -eq 0 ] || exit 1
echo "install tree: every check passed"
