#!/usr/bin/env bash
# Runs the tests of a Windows cross-build under wine, in a wine prefix of the
# build's own. Usage: run-wine-tests.sh BUILD_DIR [CTEST_ARGS...]
set -euo pipefail
build="$(cd "$1" && pwd)"
shift
export WINEPREFIX="$build/wine"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The prefix is made before any test's clock starts; its services outlive
# each test and must not hold ctest's pipes.
"$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
ctest --test-dir "$build" --output-on-failure --timeout 600 "$@"
