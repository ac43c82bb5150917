#!/bin/sh
# Starts the program from its folder on the current X display, waits for a
# viewable window named $2, saves a screenshot to $3, then asks the
# program to end (SIGTERM closes its main window the normal way) and prints
# its exit code. Prints "nowindow" when no such window came up in time.
set -u
folder="$1"; title="$2"; shot="$3"
cd "$folder" || exit 2
# True when a window named exactly $1 is on screen.
viewable() {
    for id in $(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\"" | awk '{print $1}'); do
        if xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; then
            return 0
        fi
    done
    return 1
}
./velmora > "$folder/stdout.txt" 2>&1 &
pid=$!
found=""
i=0
while [ $i -lt 150 ]; do
    if viewable "$title"; then
        found=yes
        break
    fi
    if ! kill -0 $pid 2>/dev/null; then
        break
    fi
    sleep 0.2
    i=$((i + 1))
done
if [ -n "$found" ]; then
    sleep 1
    import -window root "$shot" 2>/dev/null
    for name in "Velmora" "Velmora 1.3"; do
        if viewable "$name"; then
            echo "$name: viewable" >> "$folder/windows.txt"
        else
            echo "$name: not viewable" >> "$folder/windows.txt"
        fi
    done
else
    echo nowindow
fi
kill -TERM $pid 2>/dev/null
i=0
while kill -0 $pid 2>/dev/null && [ $i -lt 100 ]; do
    sleep 0.1
    i=$((i + 1))
done
if kill -0 $pid 2>/dev/null; then
    kill -KILL $pid
    echo hung
fi
wait $pid
echo "exit=$?"
