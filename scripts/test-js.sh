#!/bin/sh
# The JavaScript package's and the web page's tests, which make test runs:
# installs what is missing, builds both (scripts/build-wasm.sh), installs
# the tests' own npm packages (the package's tarball and puppeteer-core)
# beside them in build-wasm/test/, and runs them with node --test. The CLI
# they compare against is $1/bin/glyphrun-cli (default build/).
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh wasm
for tool in node npm emcc; do
    if ! command -v $tool >/dev/null 2>&1; then
        echo "JavaScript tests skipped: $tool is missing (scripts/install-deps.sh wasm installs it)"
        exit 0
    fi
done
sh scripts/build-wasm.sh
TEST=build-wasm/test
mkdir -p $TEST
cp js/test/*.js web/test/*.js web/serve.mjs $TEST/
tarball=$(cd build-wasm && ls glyphrun-*.tgz)
cat >$TEST/package.json <<JSON
{
  "private": true,
  "type": "module",
  "dependencies": { "glyphrun": "file:../$tarball", "puppeteer-core": "24.9.0" }
}
JSON
# The package afresh from this build's tarball; puppeteer-core stays.
rm -rf $TEST/node_modules/glyphrun $TEST/package-lock.json
(cd $TEST && npm install --prefer-offline --no-audit --no-fund --silent)
GLYPHRUN_CLI="$(pwd)/${1:-build}/bin/glyphrun-cli" node --test $TEST/*.test.js
