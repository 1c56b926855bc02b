#!/bin/sh
# Takes docs/window.png: the window under Xvfb after pressing Encode.
# Needs xvfb, xauth, imagemagick and xdotool (not installed by install-deps).
set -eu
cd "$(dirname "$0")/.."
OUT=${1:-docs/window.png}
xvfb-run -a -s "-screen 0 640x520x24" sh -c '
    build/bin/glyphrun & pid=$!
    sleep 2
    xdotool key Return
    sleep 1
    import -window root -crop 620x476+0+0 "$0"
    kill $pid' "$OUT"
echo "wrote $OUT"
