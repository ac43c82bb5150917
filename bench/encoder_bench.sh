#!/usr/bin/env bash
# Times evc against the ffmpeg CLI on the same input and settings, alternating runs, and
# prints the median ratio evc/ffmpeg per output type plus evc's peak memory for a
# 10-minute and a 60-minute input.
#   bench/encoder_bench.sh [path/to/evc] [runs]
# The ratio is of CPU seconds (user + system): on a machine shared with other work the wall
# clock mostly measures the neighbours. Wall seconds are printed beside it.
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
SRC="aevalsrc=0.3*sin(2*PI*440*t)+0.1*sin(2*PI*1250*t)+0.05*random(0)-0.025|0.3*sin(2*PI*554*t)+0.1*sin(2*PI*1900*t)+0.05*random(1)-0.025:s=44100:c=stereo"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$SRC:d=600" -c:a pcm_s16le "$WORK/in10.wav"
# The hour is the ten minutes six times over (generating it sample by sample is slow).
ffmpeg -hide_banner -loglevel error -y -stream_loop 5 -i "$WORK/in10.wav" -c:a pcm_s16le "$WORK/in60.wav"

# type codec-for-evc ffmpeg-encoder
TYPES=(
    "mp3 mp3 libmp3lame"
    "aac aac aac"
    "m4a aac aac"
    "ac3 ac3 ac3"
    "ogg vorbis libvorbis"
    "wav pcm_s16le pcm_s16le"
)

# Runs a command; prints "cpu wall maxrss_kB".
measure() {
    /usr/bin/time -o "$WORK/time.txt" -f "%U %S %e %M" "$@" >/dev/null 2>&1
    tail -1 "$WORK/time.txt" | awk '{printf "%.3f %.3f %d\n", $1 + $2, $3, $4}'
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

# Same settings for both: 128 kbit/s, stereo, 44100 Hz, volume unchanged. ffmpeg runs with
# one thread, as evc does (these audio encoders use no threads in either).
printf "%-5s %10s %10s %10s %10s %8s\n" type "evc cpu" "ffm cpu" "evc wall" "ffm wall" "ratio"
for entry in "${TYPES[@]}"; do
    read -r ext codec ffenc <<<"$entry"
    ratios=() ec=() fc=() ew=() fw=()
    for ((i = 0; i < RUNS; i++)); do
        read -r c1 w1 _ < <(measure "$EVC" -y -i "$WORK/in10.wav" -acodec "$codec" -vn -ab 128 -vol 256 -ac 2 -ar 44100 "$WORK/e.$ext")
        read -r c2 w2 _ < <(measure ffmpeg -nostdin -hide_banner -loglevel error -threads 1 -y -i "$WORK/in10.wav" -c:a "$ffenc" -vn -b:a 128k -ac 2 -ar 44100 "$WORK/f.$ext")
        ec+=("$c1") fc+=("$c2") ew+=("$w1") fw+=("$w2")
        ratios+=("$(echo "$c1 / $c2" | bc -l)")
    done
    printf "%-5s %10.3f %10.3f %10.3f %10.3f %8.3f\n" "$ext" \
        "$(printf "%s\n" "${ec[@]}" | median)" "$(printf "%s\n" "${fc[@]}" | median)" \
        "$(printf "%s\n" "${ew[@]}" | median)" "$(printf "%s\n" "${fw[@]}" | median)" \
        "$(printf "%s\n" "${ratios[@]}" | median)"
done

echo
read -r _ _ p10 < <(measure "$EVC" -y -i "$WORK/in10.wav" -acodec mp3 -ab 128 -ac 2 -ar 44100 "$WORK/m.mp3")
read -r _ _ p60 < <(measure "$EVC" -y -i "$WORK/in60.wav" -acodec mp3 -ab 128 -ac 2 -ar 44100 "$WORK/m.mp3")
echo "evc peak memory, MP3: 10 min ${p10} kB, 60 min ${p60} kB, ratio $(echo "$p60 / $p10" | bc -l | cut -c1-5)"
