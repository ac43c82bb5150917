#!/usr/bin/env bash
# Builds the static Windows libraries evc links (lame, libogg, libvorbis,
# opencore-amrnb, then a trimmed FFmpeg) from Debian's sources with mingw-w64
# into a prefix outside the tree, default ~/.cache/velmora-win (override with
# VELMORA_WIN_PREFIX). A library whose stamp PREFIX/stamps/<lib> exists is
# skipped, so a second run costs seconds.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/debian-sources.sh"
prefix="${VELMORA_WIN_PREFIX:-$HOME/.cache/velmora-win}"
host=x86_64-w64-mingw32
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
unset PKG_CONFIG_PATH
export CC=$host-gcc-posix CXX=$host-g++-posix
export CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib"
mkdir -p "$prefix/src" "$prefix/stamps"

# Unpacks Debian's source of package $1 (patches applied) under PREFIX/src/$2
# and changes into it.
enter_source() {
    local work="$prefix/src/$2"
    rm -rf "$work"
    mkdir -p "$work"
    cd "$work"
    apt-get source -q "$1" >apt-source.log 2>&1 || { cat apt-source.log; return 1; }
    cd "$(find . -mindepth 1 -maxdepth 1 -type d | head -n 1)"
}

configure_autotools() {
    ./configure --host=$host --prefix="$prefix" --enable-static --disable-shared "$@" \
        >configure.log 2>&1 || { tail -n 40 configure.log; return 1; }
}

make_install() {
    nice -n 19 make -j2 >make.log 2>&1 || { tail -n 40 make.log; return 1; }
    make install >install.log 2>&1 || { tail -n 40 install.log; return 1; }
}

build_lame() {
    enter_source lame lame
    configure_autotools --disable-frontend --disable-decoder --disable-gtktest
    make_install
}

build_libogg() {
    enter_source libogg libogg
    configure_autotools
    make_install
}

build_libvorbis() {
    enter_source libvorbis libvorbis
    configure_autotools --disable-docs --disable-examples --disable-oggtest
    make_install
}

build_opencore_amr() {
    enter_source opencore-amr opencore-amr
    configure_autotools --disable-amrwb-decoder --disable-examples
    make_install
}

# Only what evc and the probe need: the demuxers of the accepted inputs with
# the decoders and parsers of the audio they carry, the seven outputs, the file
# protocol and swresample.
build_ffmpeg() {
    local demuxers=mov,avi,mpegps,mpegts,asf,rm,flv,swf,aac,ac3,eac3,mp3,ogg,tta,wav,amr
    local decoders=aac,aac_latm,ac3,eac3,mp1,mp1float,mp2,mp2float,mp3,mp3float,mp3adu
    decoders+=,amrnb,amrwb,alac,flac,vorbis,opus,speex,tta,wmav1,wmav2,wmapro,wmavoice
    decoders+=,wmalossless,cook,ra_144,ra_288,sipr,atrac3,atrac3p,nellymoser,dca,mlp,truehd
    decoders+=,qdm2,qdmc,gsm,gsm_ms,adpcm_ms,adpcm_ima_wav,adpcm_ima_qt,adpcm_swf,adpcm_g726
    decoders+=,pcm_s8,pcm_u8,pcm_s16le,pcm_s16be,pcm_u16le,pcm_s24le,pcm_s24be,pcm_s32le
    decoders+=,pcm_s32be,pcm_f32le,pcm_f32be,pcm_f64le,pcm_f64be,pcm_alaw,pcm_mulaw,pcm_dvd
    local parsers=aac,aac_latm,ac3,mpegaudio,flac,vorbis,opus,dca,mlp,gsm,cook,sipr,amr
    # Video timing and the stream-type probe of MPEG program and transport streams: without
    # them a video stream can pass for MP3.
    parsers+=,mpegvideo,mpeg4video,h263,h264,hevc,vc1,rv30,rv40
    local probes=mpegvideo,m4v,h264,hevc,dts,loas,truehd
    enter_source ffmpeg ffmpeg
    ./configure --prefix="$prefix" --target-os=mingw32 --arch=x86_64 --enable-cross-compile \
        --cross-prefix=$host- --cc="$CC" --cxx="$CXX" --pkg-config=pkg-config \
        --pkg-config-flags=--static --extra-cflags="$CPPFLAGS" --extra-ldflags="$LDFLAGS" \
        --enable-static --disable-shared --disable-programs --disable-doc --disable-debug \
        --disable-autodetect --enable-w32threads --disable-network --disable-everything \
        --disable-avdevice --disable-avfilter --disable-swscale --disable-postproc \
        --enable-swresample --enable-version3 --enable-libmp3lame --enable-libvorbis \
        --enable-libopencore-amrnb --enable-protocol=file --enable-demuxer=$demuxers,$probes \
        --enable-decoder=$decoders,libopencore_amrnb --enable-parser=$parsers \
        --enable-encoder=aac,ac3,libmp3lame,libvorbis,pcm_s16le,libopencore_amrnb \
        --enable-muxer=amr,adts,mp3,ac3,ipod,mp4,ogg,wav >configure.log 2>&1 ||
        { tail -n 40 configure.log; tail -n 40 ffbuild/config.log; return 1; }
    make_install
}

# Runs build_$1 unless its stamp is there, and says how long it took.
step() {
    local lib=$1 start=$SECONDS
    if [[ -e "$prefix/stamps/$lib" ]]; then
        echo "$lib: already built (stamp $prefix/stamps/$lib)"
        return
    fi
    echo "$lib: building ..."
    (build_"${lib//-/_}")
    touch "$prefix/stamps/$lib"
    echo "$lib: built in $((SECONDS - start)) s"
}

ensure_deb_src
for lib in lame libogg libvorbis opencore-amr ffmpeg; do
    step "$lib"
done
echo "libraries are in $prefix"
