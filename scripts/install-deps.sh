#!/bin/sh
# Installs the Debian packages that building and testing Glyphrun need.
# Idempotent: does nothing (and says nothing) when all are present; runs
# apt-get update only when something is missing. Works as root or via sudo.
set -eu

PACKAGES="
  cmake
  ninja-build
  g++
  make
  libgtest-dev
  libgmock-dev
  libcli11-dev
  nlohmann-json3-dev
  libboost-dev
  libbenchmark-dev
  libzxing-dev
  pkg-config
  libpng-dev
  libdeflate-dev
  libfreetype-dev
  libfontconfig-dev
  fonts-dejavu-core
  pngcheck
  libgif-dev
  libstb-dev
  qt6-base-dev
  qt6-tools-dev
  qt6-l10n-tools
  librsvg2-bin
  ghostscript
  qpdf
  poppler-utils
  libxml2-utils
  clang-format
  python3-dev
  pybind11-dev
  python3-venv
  python3-pip
  python3-numpy
  python3-pil
  python3-pytest
  python3-pandas
  python3-dask
  python3-distributed
  python3-zxing-cpp
"

# "fuzz" adds what the libFuzzer build needs.
[ "${1:-}" = "fuzz" ] && PACKAGES="$PACKAGES clang libclang-rt-14-dev"
# "bench" adds the load generator of bench/server.sh.
[ "${1:-}" = "bench" ] && PACKAGES="$PACKAGES wrk"
# "wasm" adds what the JavaScript package and the web page need (make js,
# and make test, which tests them): Emscripten, acorn for its optimiser,
# dpkg-dev to unpack libdeflate's source package, Node (whose Debian package
# here brings npm) and Chromium for the tests.
[ "${1:-}" = "wasm" ] && PACKAGES="$PACKAGES emscripten node-acorn dpkg-dev nodejs chromium"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "install-deps: missing packages:$missing; run as root or install sudo" >&2
    exit 1
fi

echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
