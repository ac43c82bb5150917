#!/usr/bin/env bash
# Cross-builds the Windows program (velmora.exe, Res.dll, Form.dll, Help.html,
# evc.exe when it builds) against the prefix that scripts/windows/build-qt.sh
# and the FFmpeg build fill, assembles the program folder with the Qt DLLs
# and plugins it needs, zips it (the portable form) and makes the installer
# from it (scripts/windows/make-msi.sh):
#
#   scripts/windows/package-gui.sh           # build-win-gui/velmora-<version>-win64.zip and .msi
#   scripts/windows/package-gui.sh --smoke   # and run both under wine + Xvfb, with screenshots
#
# Prefix: VELMORA_WIN_PREFIX, default ~/.cache/velmora-win.
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
prefix=${VELMORA_WIN_PREFIX:-$HOME/.cache/velmora-win}
build=$repo/build-win-gui
host=x86_64-w64-mingw32
smoke=0
[ "${1:-}" = --smoke ] && smoke=1

for need in "$prefix/stamps/qt6-base" "$prefix/stamps/qt6-multimedia" \
    "$prefix/stamps/libjpeg-turbo" "$prefix/lib/pkgconfig/libavformat.pc"; do
    if [ ! -e "$need" ]; then
        echo "missing $need: run scripts/windows/build-qt.sh and the FFmpeg build first" >&2
        exit 1
    fi
done

export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
mkdir -p "$build"
start=$(date +%s)
# -O2: g++ 12 reports false -Wrestrict inside libstdc++ at -O3. The program
# shares the C++ runtime DLLs with Qt's DLLs instead of linking a second copy
# in (the toolchain's -static), so one runtime serves the whole process.
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_EXE_LINKER_FLAGS="" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -DVELMORA_WIN_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DVELMORA_FULL=ON -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF >"$build/configure.log" 2>&1 ||
    {
        tail -n 30 "$build/configure.log" >&2
        exit 1
    }
cmake --build "$build" -j 2 --target velmora velmora_res velmora_form
echo "velmora.exe, Res.dll, Form.dll built in $(($(date +%s) - start)) s"
have_evc=1
if ! cmake --build "$build" -j 2 --target evc >"$build/evc-build.log" 2>&1; then
    have_evc=0
    echo "evc.exe does not cross-build from this tree (see $build/evc-build.log); the folder ships without it" >&2
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=velmora-$version-win64
folder=$build/$name
rm -rf "$folder" "$build/$name.zip"
mkdir -p "$folder"
cp "$build/bin/velmora.exe" "$build/bin/Res.dll" "$build/bin/Form.dll" "$build/bin/Help.html" "$folder/"
[ $have_evc -eq 1 ] && cp "$build/bin/evc.exe" "$folder/"

# Qt's plugins the program loads at run time, in the folders Qt looks for
# beside the executable. windeployqt is not in Debian, hence the list.
plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll
    multimedia/windowsmediaplugin.dll imageformats/qjpeg.dll imageformats/qico.dll)
for p in "${plugins[@]}"; do
    if [ -f "$prefix/plugins/$p" ]; then
        mkdir -p "$folder/$(dirname "$p")"
        cp "$prefix/plugins/$p" "$folder/$p"
    else
        echo "note: Qt plugin $p is not in the prefix" >&2
    fi
done

# Every DLL the executables and plugins import that Windows itself does not
# have: Qt's own from the prefix, the compiler's runtime from mingw-w64.
dll_dirs=("$prefix/bin" "/usr/lib/gcc/$host/$($host-g++-posix -dumpversion)" "/usr/$host/lib")
find_dll() {
    local d
    for d in "${dll_dirs[@]}"; do
        if [ -f "$d/$1" ]; then
            echo "$d/$1"
            return
        fi
    done
}
queue=$(find "$folder" -name '*.exe' -o -name '*.dll')
while [ -n "$queue" ]; do
    next=""
    for file in $queue; do
        for dll in $($host-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
            [ -e "$folder/$dll" ] && continue
            src=$(find_dll "$dll")
            [ -n "$src" ] || continue # a system DLL
            cp "$src" "$folder/"
            next="$next $folder/$dll"
        done
    done
    queue=$next
done
"$host-strip" --strip-unneeded "$folder"/*.exe "$folder"/*.dll "$folder"/*/*.dll

(cd "$build" && rm -f "$name.zip" && zip -qr "$name.zip" "$name")
echo "$build/$name.zip: $(du -k "$build/$name.zip" | cut -f1) KiB, folder $(du -sk "$folder" | cut -f1) KiB"
ls "$folder"
"$repo/scripts/windows/make-msi.sh" "$folder" "$version" "$build/$name.msi"

if [ $smoke -eq 1 ]; then
    "$repo/scripts/windows/smoke-gui.sh" "$folder"
fi
