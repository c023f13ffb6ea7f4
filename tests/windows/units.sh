#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the Windows builds of the test suites that need no pseudo-terminal (tst_*.exe in
# BUILD/tests) under wine64, each writing its log to WORK/<suite>.txt (wine shows no
# console output here). Fails when any suite fails, crashes or writes no totals.
# Usage: units.sh BUILD QT_BIN WORK
set -euo pipefail
build=$(realpath "$1")
qt_bin=$(realpath "$2")
work=$(realpath -m "$3") # wine takes only an absolute prefix
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine wineboot -u > /dev/null 2>&1
# Windows' dialog font as on a Chinese Windows, as tests/windows/e2e.py sets it: the window's
# suite checks that every caption fits its control.
for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v "$face" /d "WenQuanYi Micro Hei" /f > /dev/null 2>&1
done
# The DLLs come from Qt's tree and the stripped MinGW runtime; the window's suite draws on
# the offscreen platform (wine passes no QT_ variable on, but WINEQT_ ones as QT_).
export WINEPATH="$(winepath -w "$qt_bin");$(winepath -w "$build/runtime")"
export WINEQT_QPA_PLATFORM=offscreen
status=0
shopt -s nullglob
suites=("$build"/tests/tst_*.exe)
if [ ${#suites[@]} -eq 0 ]; then
    echo "No test suites in $build/tests." >&2
    exit 1
fi
for exe in "${suites[@]}"; do
    name=$(basename "$exe" .exe)
    log="$work/$name.txt"
    code=0
    timeout 300 wine "$exe" -o "$(winepath -w "$log")",txt > "$work/$name.out" 2>&1 || code=$?
    totals=$(grep -a '^Totals:' "$log" 2>/dev/null || true)
    echo "wine $name: ${totals:-no totals (exit $code)}"
    if [ "$code" -ne 0 ] || [ -z "$totals" ] || ! grep -q ' 0 failed' <<< "$totals"; then
        grep -a -E '^(FAIL!|   Loc|   Actual|   Expected|QFATAL)' "$log" 2>/dev/null | head -n 40 >&2 || true
        tail -n 20 "$work/$name.out" >&2
        status=1
    fi
done
wineserver -k 2>/dev/null || true
exit "$status"
