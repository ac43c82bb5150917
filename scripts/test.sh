#!/usr/bin/env bash
# Installs what is missing, builds everything (including the sanitizer build of
# the core tests) and runs every test, then the Windows cross-build of the core
# tests under wine. Exits non-zero on any failure.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/build.sh" -DVELMORA_TESTS=ON -DVELMORA_BENCH=OFF
cd "$here/build"
ctest --output-on-failure --timeout 900 -j 2
"$here/scripts/test-windows.sh"
