#!/usr/bin/env bash
# Starts the Windows program folder under wine on a private Xvfb display,
# waits for the splash and then the main window, and saves screenshots to
# build-win-gui/screens/. Exits non-zero when no main window came up.
#
#   scripts/windows/smoke-gui.sh build-win-gui/velmora-<version>-win64
set -uo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
folder=$(cd "$1" && pwd)
screens=$repo/build-win-gui/screens
mkdir -p "$screens"

export WINEPREFIX=$repo/build-win-gui/wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A display of its own, so no other run sees this window.
display=:$((70 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
cleanup() {
    wineserver -k >/dev/null 2>&1
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
}
trap cleanup EXIT
wineboot --init </dev/null >/dev/null 2>&1

# Names of the viewable top-level windows.
windows() {
    xwininfo -root -tree 2>/dev/null | sed -n 's/^ *0x[0-9a-f]* "\([^"]*\)".*/\1/p' | sort -u
}

start=$(date +%s)
(cd "$folder" && wine velmora.exe >"$screens/stdout.txt" 2>&1 </dev/null) &
splash="" main=""
for _ in $(seq 1 300); do
    if [ -z "$splash" ] && [ -n "$(windows | grep -v '^Velmora$' | grep -i velmora)" ]; then
        splash=$(($(date +%s) - start))
        import -window root "$screens/win-splash.png" 2>/dev/null
    fi
    if windows | grep -qx Velmora; then
        main=$(($(date +%s) - start))
        break
    fi
    sleep 0.5
done
sleep 2
import -window root "$screens/win-main.png" 2>/dev/null
echo "windows seen: $(windows | tr '\n' '|')"
if [ -z "$main" ]; then
    echo "no main window within 150 s; output in $screens/stdout.txt" >&2
    exit 1
fi
echo "splash after ${splash:-?} s, main window after $main s; screenshots in $screens"
