#!/usr/bin/env bash
# Times evc against the ffmpeg CLI on the same input and settings, alternating runs, and prints
# per output type the median wall and CPU ratio evc/ffmpeg, then how evc scales with -threads 1,
# 2 and 4 and its peak memory at each (at most twice that of -threads 1).
#   bench/encoder_bench.sh [path/to/evc] [runs] [minutes]
# The input is `minutes` long (default 60); SCALING_TYPES="mp3 aac" limits the scaling table. On a machine shared with other work both clocks
# include the neighbours: alternating runs and medians keep the ratios fair, not the seconds.
set -euo pipefail

EVC=${1:-$(dirname "$0")/../build/bin/evc}
RUNS=${2:-5}
MINUTES=${3:-60}
WORK=$(mktemp -d /tmp/evc-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

[ -x "$EVC" ] || { echo "evc not found at $EVC" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg CLI not found" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found (package: time)" >&2; exit 1; }

echo "making a ${MINUTES}-minute input in $WORK ($(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
# Music-like input: two tones, one swelling, bursts of noise and some hiss, stereo 44.1 kHz.
SRC="aevalsrc=0.3*sin(2*PI*440*t)*(0.5+0.5*sin(2*PI*0.7*t))+0.3*lt(mod(t\,0.37)\,0.01)*random(0)+0.02*random(1)|0.3*sin(2*PI*554*t)+0.3*lt(mod(t\,0.53)\,0.008)*random(2):s=44100:c=stereo"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$SRC:d=60" -c:a pcm_s16le "$WORK/in1.wav"
# Longer inputs repeat the minute (generating it sample by sample is slow).
ffmpeg -hide_banner -loglevel error -y -stream_loop $((MINUTES - 1)) -i "$WORK/in1.wav" -c:a pcm_s16le "$WORK/in.wav"

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
ratio() { echo "$1 / $2" | bc -l; }
evc_run() { # threads ext codec
    local t=()
    [ "$1" = default ] || t=(-threads "$1")
    measure "$EVC" -y "${t[@]}" -i "$WORK/in.wav" -acodec "$3" -vn -ab 128 -ac 2 -ar 44100 "$WORK/e.$2"
}

# Same settings for both: 128 kbit/s, stereo, 44100 Hz, volume unchanged. evc runs with its
# default threads (one instance per core), ffmpeg as it runs by default for audio.
echo "evc (default threads) against the ffmpeg CLI, medians of $RUNS alternating runs"
printf "%-5s %9s %9s %9s %9s %10s %10s\n" type "evc wall" "ffm wall" "evc cpu" "ffm cpu" "wall ratio" "cpu ratio"
for entry in "${TYPES[@]}"; do
    read -r ext codec ffenc <<<"$entry"
    wr=() cr=() ec=() fc=() ew=() fw=()
    for ((i = 0; i < RUNS; i++)); do
        read -r c1 w1 _ < <(evc_run default "$ext" "$codec")
        read -r c2 w2 _ < <(measure ffmpeg -nostdin -hide_banner -loglevel error -y -i "$WORK/in.wav" -c:a "$ffenc" -vn -b:a 128k -ac 2 -ar 44100 "$WORK/f.$ext")
        ec+=("$c1") fc+=("$c2") ew+=("$w1") fw+=("$w2")
        wr+=("$(ratio "$w1" "$w2")") cr+=("$(ratio "$c1" "$c2")")
    done
    printf "%-5s %9.2f %9.2f %9.2f %9.2f %10.3f %10.3f\n" "$ext" \
        "$(printf "%s\n" "${ew[@]}" | median)" "$(printf "%s\n" "${fw[@]}" | median)" \
        "$(printf "%s\n" "${ec[@]}" | median)" "$(printf "%s\n" "${fc[@]}" | median)" \
        "$(printf "%s\n" "${wr[@]}" | median)" "$(printf "%s\n" "${cr[@]}" | median)"
done

echo
echo "evc scaling: median wall and CPU seconds at -threads 1, 2 and 4 (runs alternate), peak RSS"
printf "%-5s %15s %15s %15s %12s %18s %10s\n" type "1 wall/cpu" "2 wall/cpu" "4 wall/cpu" "speed-up 2" "peak MB 1/2/4" "peak 4/1"
for entry in "${TYPES[@]}"; do
    read -r ext codec _ <<<"$entry"
    [[ " ${SCALING_TYPES:-$ext} " == *" $ext "* ]] || continue
    declare -A W=() C=() P=([1]=0 [2]=0 [4]=0)
    for ((i = 0; i < RUNS; i++)); do
        for t in 1 2 4; do
            read -r c w p < <(evc_run "$t" "$ext" "$codec")
            W[$t]+="$w " C[$t]+="$c "
            ((p > P[$t])) && P[$t]=$p
        done
    done
    m() { tr ' ' '\n' <<<"$1" | grep . | median; }
    printf "%-5s %7.2f/%-7.2f %7.2f/%-7.2f %7.2f/%-7.2f %12.2f %6.1f/%4.1f/%5.1f %10.2f\n" "$ext" \
        "$(m "${W[1]}")" "$(m "${C[1]}")" "$(m "${W[2]}")" "$(m "${C[2]}")" \
        "$(m "${W[4]}")" "$(m "${C[4]}")" "$(ratio "$(m "${W[1]}")" "$(m "${W[2]}")")" \
        "$(ratio "${P[1]}" 1024)" "$(ratio "${P[2]}" 1024)" "$(ratio "${P[4]}" 1024)" \
        "$(ratio "${P[4]}" "${P[1]}")"
    unset W C P
done

echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
