#!/usr/bin/env bash
# CPU the program uses while it sits idle with its main window open, against
# two plain Qt windows measured in the same run on the same X server: one that
# does nothing (the floor of Qt and the X server) and one that repaints a
# 260 x 19 bar every 10 ms (what a polling marker repaint costs). The ratio is
# against the polling peer; the target is under 0.5 % of one core.
#   bench/idle_cpu_bench.sh [build-dir] [seconds]
# Runs on $DISPLAY, or on a fresh Xvfb when there is none.
set -euo pipefail

BUILD=$(cd "${1:-$(dirname "$0")/../build}" && pwd)
SECONDS_IDLE=${2:-30}
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$BUILD" "$SECONDS_IDLE"
fi
[ -x "$BUILD/bin/velmora" ] || { echo "no program at $BUILD/bin/velmora" >&2; exit 1; }
[ -x "$BUILD/bench/idle_peer" ] || { echo "no peer at $BUILD/bench/idle_peer" >&2; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool not found" >&2; exit 1; }

WORK=$(mktemp -d /tmp/idle-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
# A copy of the program folder, so its settings and log stay out of the build.
cp -r "$BUILD/bin" "$WORK/program"
TICKS=$(getconf CLK_TCK)

# user + system CPU ticks of a process.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Starts a command, waits for its window and a settling time, then prints the
# percentage of one core it used over the idle interval.
measure() {
    local title=$1; shift
    "$@" >"$WORK/out.txt" 2>&1 &
    local pid=$!
    # Runs in a subshell: it ends its own child however it ends.
    trap 'kill -TERM "$pid" 2>/dev/null || true' EXIT
    if ! xdotool search --sync --onlyvisible --name "^${title}\$" >/dev/null 2>&1; then
        echo "no window $title" >&2
        exit 1
    fi
    sleep 3
    local before after
    before=$(cpu_ticks "$pid")
    sleep "$SECONDS_IDLE"
    after=$(cpu_ticks "$pid")
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    awk -v t=$((after - before)) -v hz="$TICKS" -v s="$SECONDS_IDLE" \
        'BEGIN { printf "%.3f", 100 * t / hz / s }'
}

echo "idle for ${SECONDS_IDLE} s each (CPU clock resolution $((1000 / TICKS)) ms)"
program=$(cd "$WORK/program" && measure "Velmora 1.3" ./velmora)
floor=$(measure "Idle peer" "$BUILD/bench/idle_peer" 0)
polling=$(measure "Idle peer" "$BUILD/bench/idle_peer" 10)
printf '%-36s %7s %% of a core\n' "velmora, main window idle" "$program" \
    "plain Qt window" "$floor" "Qt window repainting a bar / 10 ms" "$polling"
awk -v p="$program" -v q="$polling" 'BEGIN {
    if (q > 0) printf "ratio velmora / polling peer: %.3f\n", p / q
    printf "target under 0.5 %% of a core: %s\n", (p < 0.5 ? "met" : "NOT met")
}'
