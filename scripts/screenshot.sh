#!/bin/sh
# Takes docs/window.png: the window under Xvfb with a sample text, its
# Print and More groups open and the text under the symbol, in settings
# of its own (the user's stay untouched). Also says how long the window
# took to appear. Needs xvfb, xauth, imagemagick and xdotool (not
# installed by install-deps).
set -eu
cd "$(dirname "$0")/.."
OUT=${1:-docs/window.png}
CONFIG=$(mktemp -d)
trap 'rm -rf "$CONFIG"' EXIT
mkdir -p "$CONFIG/Glyphrun"
printf '[General]\nprintOpen=true\nmoreOpen=true\nhri=true\n' >"$CONFIG/Glyphrun/glyphrun.conf"
XDG_CONFIG_HOME=$CONFIG xvfb-run -a -s "-screen 0 1024x900x24" sh -c '
    start=$(date +%s%N)
    ${GLYPHRUN:-build/bin/glyphrun} "LOT 42 Grüße" & pid=$!
    window=$(xdotool search --sync --onlyvisible --name "^Glyphrun\$" | head -1)
    echo "the window appeared after $(( ($(date +%s%N) - start) / 1000000 )) ms"
    sleep 1
    import -window "$window" "$0"
    kill $pid' "$OUT"
echo "wrote $OUT"
