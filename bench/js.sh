#!/bin/sh
# The JavaScript figures of bench/README.md: the package against bwip-js in
# Node, the page's keystroke-to-canvas time in Chromium, and the size of the
# .wasm. Needs make js first; installs bwip-js and puppeteer-core from npm
# into build-wasm/bench/.
set -eu
cd "$(dirname "$0")/.."
BENCH=build-wasm/bench
mkdir -p $BENCH
cp bench/js_bench.mjs bench/page_latency.mjs $BENCH/
tarball=$(cd build-wasm && ls glyphrun-*.tgz)
cat >$BENCH/package.json <<JSON
{
  "private": true,
  "type": "module",
  "dependencies": { "glyphrun": "file:../$tarball", "bwip-js": "4.11.4", "puppeteer-core": "24.9.0" }
}
JSON
rm -rf $BENCH/node_modules/glyphrun $BENCH/package-lock.json
(cd $BENCH && npm install --prefer-offline --no-audit --no-fund --silent)
node $BENCH/js_bench.mjs
node $BENCH/page_latency.mjs
node --input-type=module -e "
import { readFileSync } from 'node:fs';
import { gzipSync } from 'node:zlib';
const module = readFileSync('build-wasm/js/glyphrun-module.js', 'latin1');
const wasm = Buffer.from(module.match(/wasmBinaryFile=\"data:application\/octet-stream;base64,([^\"]*)\"/)[1], 'base64');
console.log('the .wasm: ' + wasm.length + ' bytes, ' + gzipSync(wasm, { level: 9 }).length + ' gzip -9; the module file with it: ' +
  module.length + ' bytes, ' + gzipSync(Buffer.from(module, 'latin1'), { level: 9 }).length + ' gzip -9');
"
