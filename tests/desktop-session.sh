#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test program as on a desktop where a screen reader listens: in its own X server,
# with a session bus and the accessibility bus, and Qt's accessibility switched on as a
# screen reader switches it on.
# Usage: desktop-session.sh PROGRAM [ARGUMENTS]...
set -euo pipefail
exec dbus-run-session -- bash -c '
    # The accessibility bus starts when first asked for, as a screen reader asks.
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress > /dev/null
    exec xvfb-run -a -s "-screen 0 1280x1024x24" \
        env QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$@"' desktop-session "$@"
