#!/usr/bin/env bash
# The Windows build, cross-built on Debian, in stages. Usage: package.sh [STAGE...]
#   evc   the static libraries (build-deps.sh, about 20 minutes the first
#         time, then seconds), evc.exe in build-win-full/bin/ and its tests
#         under wine
#   qt    Qt 6 for Windows (build-qt.sh, hours the first time, then seconds)
#   gui   velmora.exe, Res.dll, Form.dll and evc.exe in build-win-gui/, the
#         program folder zipped and made into an MSI, a start under wine +
#         Xvfb, then the MSI installed, used and removed, with screenshots
# With no stage, every stage runs in order. Exits non-zero on any failure.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export VELMORA_WIN_PREFIX="${VELMORA_WIN_PREFIX:-$HOME/.cache/velmora-win}"
build="$here/build-win-full"

configure() {
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" -DVELMORA_TESTS=ON \
        -DVELMORA_WIN_PREFIX="$VELMORA_WIN_PREFIX"
}

stage_evc() {
    "$here/scripts/windows/build-deps.sh"
    local start=$SECONDS
    configure
    cmake --build "$build" -j2
    echo "evc: built in $((SECONDS - start)) s: $build/bin/evc.exe"
    start=$SECONDS
    "$here/scripts/windows/run-wine-tests.sh" "$build"
    echo "evc: tests under wine took $((SECONDS - start)) s"
}

"$here/scripts/install-deps.sh"
stages=("$@")
[[ ${#stages[@]} -gt 0 ]] || stages=(evc qt gui)
for stage in "${stages[@]}"; do
    case "$stage" in
    evc) stage_evc ;;
    qt) "$here/scripts/windows/build-qt.sh" ;;
    gui) "$here/scripts/windows/package-gui.sh" --smoke ;;
    *)
        echo "package.sh: unknown stage '$stage' (known: evc, qt, gui)" >&2
        exit 2
        ;;
    esac
done
