#!/usr/bin/env bash
# Cross-builds support/ and config/ and their tests for Windows into build-win/
# and runs the tests under wine, in a wine prefix of their own. Exits non-zero
# on any failure.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build-win" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" -DVELMORA_TESTS=ON "$@"
cmake --build "$here/build-win" -j "$(nproc)"
"$here/scripts/windows/run-wine-tests.sh" "$here/build-win"
