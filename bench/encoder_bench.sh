#!/usr/bin/env bash
# Times evc against the ffmpeg CLI on the same input and settings, alternating runs, and
# prints the median ratio evc/ffmpeg per output type plus evc's peak memory for a
# 10-minute and a 60-minute input.
#   bench/encoder_bench.sh [path/to/evc] [runs]
set -euo pipefail

EVC=${1:-$(dirname "$0")/../build/bin/evc}
RUNS=${2:-5}
WORK=$(mktemp -d /tmp/evc-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

[ -x "$EVC" ] || { echo "evc not found at $EVC" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg CLI not found" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found (package: time)" >&2; exit 1; }

echo "making inputs in $WORK"
# Music-like input: two tones and some noise, stereo 44.1 kHz.
SRC="aevalsrc=0.3*sin(2*PI*440*t)+0.1*sin(2*PI*1250*t)+0.05*random(0)-0.025|0.3*sin(2*PI*554*t)+0.1*sin(2*PI*1900*t)+0.05*random(1)-0.025:s=44100"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$SRC:d=600" -c:a pcm_s16le "$WORK/in10.wav"
# The hour is the ten minutes six times over (generating it sample by sample is slow).
ffmpeg -hide_banner -loglevel error -y -stream_loop 5 -i "$WORK/in10.wav" -c:a pcm_s16le "$WORK/in60.wav"

# type codec-for-evc ffmpeg-encoder ffmpeg-extra
TYPES=(
    "mp3 mp3 libmp3lame"
    "aac aac aac"
    "m4a aac aac"
    "ac3 ac3 ac3"
    "ogg vorbis libvorbis"
    "wav pcm_s16le pcm_s16le"
)
# Same settings for both: 128 kbit/s, stereo, 44100 Hz, volume unchanged. ffmpeg runs with
# one thread, as evc does (these audio encoders do not use threads in either).
seconds() { # command... -> elapsed seconds
    local s e
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s.%N)
    echo "$e - $s" | bc -l
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

printf "%-5s %10s %10s %8s\n" type "evc s" "ffmpeg s" "ratio"
for entry in "${TYPES[@]}"; do
    read -r ext codec ffenc <<<"$entry"
    ratios=()
    evcs=()
    ffs=()
    for ((i = 0; i < RUNS; i++)); do
        te=$(seconds "$EVC" -y -i "$WORK/in10.wav" -acodec "$codec" -vn -ab 128 -vol 256 -ac 2 -ar 44100 "$WORK/e.$ext")
        tf=$(seconds ffmpeg -nostdin -hide_banner -loglevel error -threads 1 -y -i "$WORK/in10.wav" -c:a "$ffenc" -vn -b:a 128k -ac 2 -ar 44100 "$WORK/f.$ext")
        evcs+=("$te")
        ffs+=("$tf")
        ratios+=("$(echo "$te / $tf" | bc -l)")
    done
    me=$(printf "%s\n" "${evcs[@]}" | median)
    mf=$(printf "%s\n" "${ffs[@]}" | median)
    mr=$(printf "%s\n" "${ratios[@]}" | median)
    printf "%-5s %10.3f %10.3f %8.3f\n" "$ext" "$me" "$mf" "$mr"
done

echo
peak() { # input -> peak resident kB of evc encoding it to MP3
    /usr/bin/time -v "$EVC" -y -i "$1" -acodec mp3 -ab 128 -ac 2 -ar 44100 "$WORK/m.mp3" 2>&1 >/dev/null |
        awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}'
}
p10=$(peak "$WORK/in10.wav")
p60=$(peak "$WORK/in60.wav")
echo "evc peak memory, MP3: 10 min ${p10} kB, 60 min ${p60} kB, ratio $(echo "$p60 / $p10" | bc -l | cut -c1-5)"
