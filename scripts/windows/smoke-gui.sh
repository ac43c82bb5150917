#!/usr/bin/env bash
# Starts a copy of the Windows program folder under wine on a private Xvfb
# display and uses it as a person does: waits for the splash and the main
# window, opens a WAV file through Ctrl+O and the open dialog, clicks Convert
# and waits for the AMR file, whose length is then checked with ffprobe.
# Then the installer beside the folder (smoke-msi.sh). Screenshots go to
# build-win-gui/screens/. Exits non-zero at the first step that does not
# happen.
#
#   scripts/windows/smoke-gui.sh build-win-gui/velmora-<version>-win64
set -uo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
folder=$(cd "$1" && pwd)
screens=$repo/build-win-gui/screens
mkdir -p "$screens"
rm -f "$screens"/*.png

export WINEPREFIX=$repo/build-win-gui/wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The program runs from a copy, so its settings and log stay out of the package.
work=$(mktemp -d)
prog=$work/prog media=$work/media out=$work/out
mkdir -p "$prog/Config" "$media" "$out"
cp -r "$folder"/. "$prog/"
winpath() { echo "Z:$1" | tr / '\\'; }
printf '\r\n[USRInfo]\r\nInitDir=%s\\\r\nSHWDDir=0\r\nSHUTDOWN=0\r\nOutDir=%s\r\n' \
    "$(winpath "$media")" "$(winpath "$out")" >"$prog/Config/UserSettings.ini"
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=3" -ac 1 -ar 8000 "$media/a.wav"
# An hour: long enough to be stopped while it converts.
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=3600" -ac 1 -ar 8000 "$media/long.wav"

# A display of its own, so no other run sees this window.
display=:$((70 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
cleanup() {
    wineserver -k >/dev/null 2>&1
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# A fresh prefix takes longer to make than the window's time limit allows.
"$repo/scripts/windows/wine-prefix.sh"

# Names of the viewable top-level windows.
windows() {
    local id
    for id in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
        xwininfo -id "$id" 2>/dev/null | grep -q IsViewable &&
            xwininfo -id "$id" | sed -n 's/^xwininfo: Window id: 0x[0-9a-f]* "\(.*\)"$/\1/p'
    done | sort -u
}
window_id() {
    local id
    for id in $(xwininfo -root -children 2>/dev/null | grep -F "\"$1\": (" | awk '{print $1}'); do
        xwininfo -id "$id" 2>/dev/null | grep -q IsViewable && echo "$id" && return 0
    done
    return 1
}
# Polls `$@` every 0.5 s for up to $1 seconds.
within() {
    local limit=$(($1 * 2))
    shift
    for _ in $(seq 1 "$limit"); do
        "$@" && return 0
        sleep 0.5
    done
    return 1
}
shot() { import -window root "$screens/win-$1.png" 2>/dev/null; }
fail() {
    shot failed
    echo "smoke: $* (windows seen: $(windows | tr '\n' '|'))" >&2
    sed -n 1,20p "$prog/stdout.txt" >&2
    exit 1
}
main_title="Velmora 1.3"
splash_seen() { [ -n "$(windows | grep -ivx "$main_title" | grep -i velmora)" ]; }
main_seen() { window_id "$main_title" >/dev/null; }
# Wine gives its own file dialog no X title without a window manager, so a
# dialog shows as a second viewable window of the program.
program_windows() {
    local id size
    xwininfo -root -children 2>/dev/null | grep -F '("velmora.exe" "velmora.exe")' |
        while read -r id _; do
            size=$(xwininfo -id "$id" 2>/dev/null | grep -q IsViewable &&
                xwininfo -id "$id" | awk '/Width:/ {print $2}')
            [ -n "$size" ] && [ "$size" -ge 100 ] && echo "$id"
        done | wc -l
}
open_seen() { [ "$(program_windows)" -ge 2 ]; }
only_main() { [ "$(program_windows)" -eq 1 ]; }
converted() { [ -s "$out/a.amr" ] && [ -z "$(find "$out" -name '*.part')" ]; }
long_writing() { [ -n "$(find "$out" -name '.long.amr.*.part' -size +0)" ]; }
question_seen() { window_id Velmora >/dev/null; }
# Wine shows evc by its Windows command line, which names this run's folder.
encoders() { pgrep -f "evc\.exe.*$(basename "$work")"; }
no_encoder() { ! encoders >/dev/null; }
click() { # window x y: a click inside that window (negative y: from the bottom)
    local id info x y h
    id=$(window_id "$1") || fail "no window $1"
    info=$(xwininfo -id "$id")
    x=$(echo "$info" | awk '/Absolute upper-left X/ {print $4}')
    y=$(echo "$info" | awk '/Absolute upper-left Y/ {print $4}')
    h=$(echo "$info" | awk '/Height:/ {print $2}')
    [ "$3" -lt 0 ] && y=$((y + h))
    xdotool mousemove $((x + $2)) $((y + $3)) click 1
}
# Seconds of sound in an output, decoded in full (a header's estimate can be off).
seconds() {
    ffmpeg -v error -i "$1" -f s16le -ac 1 -ar 8000 - | wc -c | awk '{printf "%.2f", $1 / 16000}'
}
add() { # file: opened through Ctrl+O and the open dialog
    xdotool windowfocus --sync "$(window_id "$main_title")" 2>/dev/null
    xdotool key --delay 60 ctrl+o
    within 30 open_seen || fail "Ctrl+O showed no open dialog"
    sleep 1
    shot "open-$1"
    xdotool type --delay 20 "$1"
    xdotool key --delay 60 Return
    within 30 only_main || fail "the open dialog or the adding window stayed"
}

start=$(date +%s)
(cd "$prog" && exec wine velmora.exe >"$prog/stdout.txt" 2>&1 </dev/null) &
splash=""
splash_or_main() {
    [ -z "$splash" ] && splash_seen && shot splash && splash=$(($(date +%s) - start))
    main_seen
}
within 150 splash_or_main || fail "no main window within 150 s"
main=$(($(date +%s) - start))
sleep 2
shot main
add a.wav
sleep 1
shot added
click "$main_title" 616 400
begun=$(date +%s)
within 120 converted || fail "no a.amr in the output folder"
took=$(($(date +%s) - begun))
within 30 only_main || fail "the converting window stayed after the file was written"
sleep 1
shot converted
length=$(seconds "$out/a.amr")
awk -v d="$length" 'BEGIN { exit !(d > 2.9 && d < 3.1) }' || fail "a.amr lasts '$length' s, not 3"
grep -a 'parameter: ' "$prog/log.txt" 2>/dev/null | tail -n 1

# Stopped in the middle of the hour: Stop clicked, Yes answered; the encoder
# ends and neither the output nor its temporary file is left.
rm -f "$out/a.amr"
add long.wav
click "$main_title" 616 400
within 120 long_writing || fail "long.wav was not being converted"
shot converting
click Converting 366 -44
within 30 question_seen || fail "Stop asked nothing"
shot stop-question
xdotool key y
within 30 only_main || fail "the converting window stayed after the stop"
within 30 no_encoder || fail "evc still runs after the stop"
left=$(ls -A "$out" | grep long)
[ -z "$left" ] || fail "the stop left $left"
shot stopped
echo "splash after ${splash:-?} s, main window after $main s; a 3 s WAV converted to AMR" \
    "($length s) in $took s; a conversion stopped, nothing left; screenshots in $screens"

# The desktop features, in a script of their own.
# shellcheck source=smoke-desktop.sh
. "$repo/scripts/windows/smoke-desktop.sh"
smoke_desktop_features

# The installer beside the folder, in a script of its own.
if [ -f "$folder.msi" ]; then
    # shellcheck source=smoke-msi.sh
    . "$repo/scripts/windows/smoke-msi.sh"
    smoke_installer "$folder.msi"
else
    echo "no installer $folder.msi: its steps are left out"
fi
