#!/usr/bin/env bash
# Cross-builds Qt 6 for 64-bit Windows from Debian's own sources with Debian's
# mingw-w64 into a prefix shared with the other Windows dependencies.
#
#   scripts/windows/build-qt.sh            # prefix ~/.cache/velmora-win
#   VELMORA_WIN_PREFIX=/some/dir scripts/windows/build-qt.sh
#   scripts/windows/build-qt.sh qt6-base   # only the modules named
#
# Besides Qt it builds libjpeg-turbo (static), which the splash decoder needs.
#
# A module whose stamp PREFIX/stamps/<module> records the same configure
# options is skipped; remove the stamp to build it again. The log of each
# module is PREFIX/logs/<module>.log.
# Host tools (moc, rcc, uic...) are Debian's Qt 6 of the same version.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/debian-sources.sh"

repo=$(cd "$(dirname "$0")/../.." && pwd)
prefix=${VELMORA_WIN_PREFIX:-$HOME/.cache/velmora-win}
jobs=${VELMORA_WIN_JOBS:-2}
# Multimedia compiles its video shaders with qsb, so ShaderTools comes first.
modules=(libjpeg-turbo qt6-base qt6-shadertools qt6-multimedia)
if [ $# -gt 0 ]; then
    modules=("$@")
fi
# Host side: Debian's Qt of the same version provides moc, rcc, uic and qsb.
host_packages=(qt6-base-dev qt6-base-dev-tools qt6-shadertools-dev dpkg-dev cmake ninja-build)
host_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake

ensure_host_packages() {
    local missing=()
    for p in "${host_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        as_root apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

# Every module's sources live in the one folder, although libjpeg-turbo is not Qt.
# The unpacked source tree of a Debian source package, fetched once.
source_dir() {
    local pkg=$1 dir
    dir=$(find "$prefix/src/qt" -maxdepth 1 -type d -name "$pkg-*" 2>/dev/null | sort | tail -n1)
    if [ -z "$dir" ]; then
        (cd "$prefix/src/qt" && apt-get source "$pkg") >&2
        dir=$(find "$prefix/src/qt" -maxdepth 1 -type d -name "$pkg-*" | sort | tail -n1)
    fi
    [ -n "$dir" ] || { echo "no source tree for $pkg" >&2; exit 1; }
    echo "$dir"
}

# Qt records its toolchain file by path; a copy in the prefix outlives the checkout.
install_toolchain() {
    mkdir -p "$prefix/share/velmora"
    cp "$repo/cmake/mingw-w64-x86_64.cmake" "$repo/cmake/wine-run.sh" "$prefix/share/velmora/"
    echo "$prefix/share/velmora/mingw-w64-x86_64.cmake"
}

configure_args() {
    case $1 in
    libjpeg-turbo)
        # A static library linked into the program; no SIMD (it would need nasm).
        echo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
            -DCMAKE_POSITION_INDEPENDENT_CODE=ON
        return
        ;;
    esac
    # Every Qt module: release, shared DLLs, host tools from Debian's Qt.
    echo -DBUILD_SHARED_LIBS=ON -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=$host_cmake_dir \
        -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF -DQT_USE_CCACHE=OFF -DFEATURE_pkg_config=OFF
    case $1 in
    qt6-base)
        # Widgets on the windows platform plugin; no OpenGL, SQL, tests or
        # examples. Third-party libraries are Qt's bundled copies, so no extra
        # DLLs ship. Debian's source drops the wintab headers, hence no tablets.
        # Concurrent is on: the Windows media plugin uses QtConcurrent::run
        # (said explicitly, or an older build folder keeps it off). The Direct2D
        # platform plugin is never loaded: the program runs on "windows". Qt
        # 6.4 builds its DirectWrite 3 font database only with Direct2D while
        # the windows plugin still calls it, so that goes too (GDI fonts are
        # the default anyway).
        echo -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_sql=OFF \
            -DFEATURE_dbus=ON -DFEATURE_dbus_linked=OFF \
            -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
            -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
            -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
            -DFEATURE_printsupport=OFF -DFEATURE_testlib=OFF \
            -DFEATURE_concurrent=ON -DFEATURE_xml=OFF \
            -DFEATURE_network=ON -DFEATURE_schannel=ON -DFEATURE_openssl=OFF \
            -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF \
            -DFEATURE_directwrite3=OFF
        ;;
    qt6-multimedia)
        # Windows Media Foundation back end. mingw's import libraries are lower
        # case, which FindWMF's mixed-case names miss on a case-sensitive disk.
        local lib=/usr/x86_64-w64-mingw32/lib
        echo -DFEATURE_ffmpeg=OFF -DFEATURE_gstreamer=OFF \
            -DFEATURE_spatialaudio=OFF -DFEATURE_spatialaudio_quick3d=OFF \
            -DWMF_MF_LIBRARY=$lib/libmf.a -DWMF_MFUUID_LIBRARY=$lib/libmfuuid.a \
            -DWMF_MFPLAT_LIBRARY=$lib/libmfplat.a -DWMF_MFCORE_LIBRARY=$lib/libmfcore.a \
            -DWMF_PROPSYS_LIBRARY=$lib/libpropsys.a
        ;;
    esac
}

# Headers that a module's sources spell in another case than the file has
# (<Mferror.h> for mingw-w64's mferror.h, "QUrl.h" for Qt's qurl.h) work on
# Windows only; on a case-sensitive disk links of the spelled names, in a
# folder given to the compiler by CPATH, find them.
header_case_links() {
    local src=$1 dir=$2 h real
    local dirs=(/usr/x86_64-w64-mingw32/include) d
    # Qt's own header folders exist once qtbase is installed.
    for d in "$prefix"/include/Qt*; do
        [ -d "$d" ] && dirs+=("$d")
    done
    mkdir -p "$dir"
    grep -rhoE '#include ?[<"][A-Za-z0-9_]+\.h[>"]' "$src/src" | sed -E 's/#include ?[<"]//; s/[>"]$//' |
        sort -u | while read -r h; do
            [ -e "${dirs[0]}/$h" ] && continue
            [ -n "$(find "$src/src" -name "$h" -print -quit)" ] && continue
            real=$(find "${dirs[@]}" -maxdepth 1 -iname "$h" ! -name "$h" -print -quit)
            [ -n "$real" ] && ln -sfn "$real" "$dir/$h"
        done
    echo "$dir"
}

build_module() {
    local module=$1 src build log start secs
    # The stamp records the configure options; other options build again.
    local options
    options=$(configure_args "$module")
    if [ -e "$prefix/stamps/$module" ] &&
        [ "$(tail -n +2 "$prefix/stamps/$module")" = "$options" ]; then
        echo "$module: already built ($(head -n1 "$prefix/stamps/$module")), skipped"
        return
    fi
    src=$(source_dir "$module")
    build=$prefix/build/qt/$module
    log=$prefix/logs/$module.log
    # An unfinished build goes on where it stopped: CMake and Ninja redo only
    # what changed. A configure that never finished starts afresh.
    [ -e "$build/build.ninja" ] || rm -rf "$build"
    mkdir -p "$build"
    echo "$module: building from $src, log $log"
    start=$(date +%s)
    local cmake_cmd=(cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain")
    if [[ $module == qt6-* && $module != qt6-base ]]; then
        # qt-cmake brings the toolchain of the built Qt, which loads ours.
        cmake_cmd=("$prefix/bin/qt-cmake")
    fi
    local cpath=""
    if [[ $module == qt6-* ]]; then
        cpath=$(header_case_links "$src" "$prefix/build/qt/header-case/$module")
    fi
    # shellcheck disable=SC2046
    {
        nice -n 19 "${cmake_cmd[@]}" -S "$src" -B "$build" -G Ninja \
            -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_INSTALL_PREFIX="$prefix" \
            $options &&
            CPATH=$cpath nice -n 19 cmake --build "$build" --parallel "$jobs" &&
            nice -n 19 cmake --install "$build"
    } >"$log" 2>&1 || {
        echo "$module: FAILED after $(($(date +%s) - start)) s; last lines of $log:" >&2
        tail -n 30 "$log" >&2
        exit 1
    }
    secs=$(($(date +%s) - start))
    printf '%s in %s s\n%s\n' "$(basename "$src")" "$secs" "$options" >"$prefix/stamps/$module"
    echo "$module: built in ${secs} s ($((secs / 60)) min)"
}

mkdir -p "$prefix/src/qt" "$prefix/stamps" "$prefix/logs" "$prefix/lib/pkgconfig"
# Nothing of the build machine's own libraries may leak into a Windows build.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
ensure_host_packages
ensure_deb_src
toolchain=$(install_toolchain)
total_start=$(date +%s)
for module in "${modules[@]}"; do
    build_module "$module"
done
echo "Qt for Windows in $prefix (this run: $(($(date +%s) - total_start)) s)"
