#!/bin/sh
# glyphrun-server under wrk on 127.0.0.1: keep-alive, 64 connections, a
# different 30-byte label as PNG at module 4 in every request; then, in the
# same run, a Node server of bwip-js (npm, run as a black box for the
# comparison only) answering the same requests; then the server's memory
# over 1,000,000 requests. Needs wrk, node and npm.
#
#   sh bench/server.sh [SECONDS]      (default 30 a measurement)
set -eu
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-30}
SERVER=${GLYPHRUN_SERVER:-build/bin/glyphrun-server}
WORK=$(mktemp -d)
PIDS=""
trap 'kill $PIDS 2>/dev/null || true; rm -rf "$WORK"' EXIT

# Serial numbers that differ in every request, 30 bytes of data each.
cat >"$WORK/labels.lua" <<'LUA'
local n = 0
request = function()
  n = n + 1
  return wrk.format("GET", string.format("/v1/symbol.png?data=LOT%%2000042%%2FSN%%20%%014d&module=4", n))
end
LUA
cat >"$WORK/bwip.js" <<'JS'
const http = require('http'), bwipjs = require('bwip-js');
http.createServer((req, res) => {
  const data = new URL(req.url, 'http://x').searchParams.get('data');
  bwipjs.toBuffer({ bcid: 'datamatrix', text: data, scale: 4 }).then(
    png => { res.writeHead(200, { 'Content-Type': 'image/png', 'Content-Length': png.length }); res.end(png); },
    error => { res.writeHead(400); res.end(String(error)); });
}).listen(Number(process.argv[2]), '127.0.0.1');
JS
(cd "$WORK" && npm install --silent --no-audit --no-fund bwip-js@4 >/dev/null)

rss() { awk '/^VmRSS/ {print $2 " kB"}' "/proc/$1/status"; }
measure() {  # URL: requests/s and the latency line of wrk
    wrk -t2 -c64 -d"${SECONDS_EACH}s" --latency -s "$WORK/labels.lua" "$1" |
        awk '/Requests\/sec/ {print "  requests/s: " $2} / 50%/ {print "  p50: " $2} / 99%/ {print "  p99: " $2}'
}

NODE_PATH="$WORK/node_modules" node "$WORK/bwip.js" 18081 &
PIDS="$!"
# One answering thread, then two: wrk's two threads take about a core of
# the two, and a second server thread mostly waits for the scheduler.
for threads in 1 2; do
    "$SERVER" --listen 127.0.0.1:18080 --threads $threads 2>"$WORK/server.log" &
    server=$!
    PIDS="$PIDS $server"
    sleep 1
    echo "glyphrun-server --threads $threads (RSS at start $(rss $server)):"
    measure http://127.0.0.1:18080
    [ $threads = 2 ] || { kill $server; wait $server || true; }
done
echo "bwip-js on Node:"
measure http://127.0.0.1:18081
echo "glyphrun-server --threads 2, until it has answered 1,000,000 requests:"
before=$(rss $server) answered=$(($(wc -l <"$WORK/server.log") - 1))
wrk -t2 -c64 -d600s -s "$WORK/labels.lua" http://127.0.0.1:18080 >/dev/null &
load=$!
PIDS="$PIDS $load"
while [ "$(wc -l <"$WORK/server.log")" -lt 1000001 ] && kill -0 $load 2>/dev/null; do sleep 1; done
kill $load 2>/dev/null || true
echo "  RSS $before after $answered requests, $(rss $server) after $(($(wc -l <"$WORK/server.log") - 1))"
