#!/bin/sh
# Fails when a C++ file that the last commit (or BASE, the first argument)
# changed, or that is changed and not yet committed, is not formatted as
# .clang-format says. Without that history (a shallow clone), every file.
set -eu
cd "$(dirname "$0")/.."
base=${1:-HEAD~1}
if git rev-parse --verify -q "$base" >/dev/null; then
    files=$(git diff --name-only --diff-filter=ACMR "$base" -- '*.cpp' '*.h')
else
    files=$(git ls-files '*.cpp' '*.h')
fi
[ -z "$files" ] && exit 0
# shellcheck disable=SC2086
clang-format --dry-run -Werror $files
