#!/usr/bin/env bash
# Builds the Debian package build/velmora_<version>_<arch>.deb from the same
# build as the other scripts: only what the package ships is built.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$here/build" -j "$(nproc)" --target velmora evc
cd "$here/build"
cpack -G DEB
