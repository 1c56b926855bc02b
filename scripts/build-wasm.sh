#!/bin/sh
# Builds the JavaScript package and the web page with Debian's Emscripten
# into build-wasm/ (make js): the package's npm pack tarball
# build-wasm/glyphrun-VERSION.tgz, its folder build-wasm/package/, and the
# static page build-wasm/web/, which any web server serves. Installs what
# is missing first.
#
# Two facts of Debian 12's Emscripten 3.1.6 under Node 20, kept here:
# - its JavaScript optimiser loads acorn, which Debian's node-acorn puts in
#   /usr/share/nodejs, where Node looks only when NODE_PATH says so;
# - a module that loads its .wasm by path fails in Node 20's fetch, so the
#   .wasm travels inside the module (-sSINGLE_FILE=1, js/CMakeLists.txt).
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh wasm
export NODE_PATH=/usr/share/nodejs
BUILD=build-wasm

# libdeflate's source, of the version the native build links, so that PNG
# and PDF come out as the CLI writes them. apt-get source needs a deb-src
# entry: one of our own, made from the system's entries, in a list folder
# of our own, for this call alone; the system's apt setup is not touched.
fetch_libdeflate() {
    version=$(dpkg-query -W -f='${source:Version}' libdeflate-dev)
    [ "$(cat "$BUILD/libdeflate/.version" 2>/dev/null)" = "$version" ] && return
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/parts" "$work/lists/partial"
    : >"$work/sources.list"
    for sources in /etc/apt/sources.list.d/*.sources; do
        [ -f "$sources" ] && sed 's/^Types: .*/Types: deb-src/' "$sources" >"$work/parts/$(basename "$sources")"
    done
    [ -f /etc/apt/sources.list ] && sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$work/sources.list"
    set -- -qq -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts="$work/parts" \
        -o Dir::State::Lists="$work/lists" -o APT::Sandbox::User=root
    echo "build-wasm: fetching libdeflate $version's Debian source"
    apt-get "$@" update
    (cd "$work" && apt-get "$@" source --download-only "libdeflate=$version" >/dev/null)
    rm -rf "$BUILD/libdeflate"
    dpkg-source --no-check -x "$work"/libdeflate_*.dsc "$BUILD/libdeflate" >/dev/null
    echo "$version" >"$BUILD/libdeflate/.version"
}

mkdir -p "$BUILD"
fetch_libdeflate
emcmake cmake --preset wasm >/dev/null
cmake --build "$BUILD" -j "${JOBS:-$(nproc)}" -- $([ -t 1 ] || echo --quiet)

# The package: the module and the files js/package.json lists.
rm -rf "$BUILD/package"
mkdir -p "$BUILD/package"
cp js/package.json js/index.js js/index.d.ts js/README.md "$BUILD/js/glyphrun-module.js" "$BUILD/package/"
rm -f "$BUILD"/glyphrun-*.tgz
npm pack --silent --pack-destination "$BUILD" "./$BUILD/package" >/dev/null

# The page, with the package beside it.
rm -rf "$BUILD/web"
mkdir -p "$BUILD/web"
cp web/index.html web/page.js web/page.css "$BUILD/web/"
cp -r "$BUILD/package" "$BUILD/web/glyphrun"
echo "build-wasm: $(ls "$BUILD"/glyphrun-*.tgz) and $BUILD/web/"
