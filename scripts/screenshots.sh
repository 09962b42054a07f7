#!/usr/bin/env bash
# Takes every picture of docs/ again from the real windows, driven against the simulated module
# on a virtual X display with the CJK font: after a change of a window, this one command brings
# the pictures up to date. Builds into build/ (or $BUILD_DIR) first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh" --test
"$top/scripts/build.sh" "$build" >/dev/null
cmake --build "$build" --target screenshots >/dev/null

export QT_QPA_PLATFORM=xcb QT_LOGGING_RULES='*.debug=false;qt.qpa.*=false' QT_SCALE_FACTOR=1
for program in nodeconfig remoteconfig; do
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/screenshots_$program" "$top/docs"
done
