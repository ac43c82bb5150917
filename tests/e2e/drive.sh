#!/bin/bash
# Drives the built program through the X server as a person does: key
# presses and clicks with xdotool at the main window's layout coordinates,
# typed file names, a drag from another process. Runs one case of the table
# (cases.txt): drive.sh TABLE CASE BINDIR DRAGSOURCE SHOTS
# Each step of a case is "verb arg..." separated by ";". Every wait polls
# for its condition and is bounded; a step that fails ends the case.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
# A session bus of the case's own: what the program says on it (to screen
# readers, notification servers, taskbars) reaches only this case.
if [ -z "${VELMORA_E2E_BUS:-}" ]; then
    VELMORA_E2E_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
table="$1"; case_name="$2"; bindir="$3"; dragsource="$4"; shots="$5"
line=$(grep -E "^${case_name}[[:space:]]" "$table" | head -n 1)
[ -n "$line" ] || { echo "no case $case_name"; exit 2; }
# Second column: "-" or a comma list of wm (openbox runs) and a11y (the
# program talks to the accessibility bus).
opts=",$(echo "$line" | awk '{print $2}'),"
steps=$(echo "$line" | cut -d'|' -f2-)

work=$(mktemp -d)
prog="$work/prog"; media="$work/media"; out="$work/out"
mkdir -p "$prog/Config" "$media" "$out" "$work/bin" "$shots"
for f in velmora evc Res.so Form.so Help.html; do cp "$bindir/$f" "$prog/"; done
printf '\r\n[USRInfo]\r\nInitDir=%s/\r\nSHWDDir=0\r\nSHUTDOWN=0\r\nOutDir=%s\r\n' \
    "$media" "$out" > "$prog/Config/UserSettings.ini"
# The desktop's handler is recorded, never run.
printf '#!/bin/sh\necho "$@" >> "%s/opened.txt"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"
# The runtime folder of a session: where the running program listens.
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"

pid=""; wmpid=""; dragpid=""; wx=""; wy=""; otherpid=""; noticepid=""
cleanup() {
    for p in $dragpid $otherpid $noticepid $pid $wmpid; do kill -TERM "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL [$case_name] step '$step': $*"
    import -window root "$shots/${case_name}-failed.png" 2>/dev/null
    echo "windows: $(xwininfo -root -children 2>/dev/null | grep -o '"[^"]*"' | tr '\n' ' ')"
    [ -f "$prog/stdout.txt" ] && sed -n 1,20p "$prog/stdout.txt"
    exit 1
}

# Polls `$@` every 0.1 s for up to $limit seconds.
limit=30
until_true() {
    local i=0
    while [ $i -lt $((limit * 10)) ]; do
        "$@" && return 0
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}

window_id() { # the viewable top-level window named exactly $1
    local id
    for id in $(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\": (" | awk '{print $1}'); do
        if xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; then
            echo "$id"
            return 0
        fi
    done
    return 1
}
viewable() { window_id "$1" > /dev/null; }
hidden() { ! viewable "$1"; }
encoders() { pgrep -P "$pid" -x evc; }
encoding() { encoders > /dev/null; }
no_encoder() { ! encoding; }
# Viewable top-level windows named exactly $1.
count_windows() {
    local n=0 id
    for id in $(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\": (" | awk '{print $1}'); do
        xwininfo -id "$id" 2>/dev/null | grep -q IsViewable && n=$((n + 1))
    done
    echo $n
}
is_active() { id=$(window_id "$1") && [ "$(xdotool getactivewindow 2>/dev/null)" = "$((id))" ]; }
# Source files of the parameter lines, in order, relative to the media folder.
converted() {
    grep 'parameter: ' "$prog/log.txt" 2>/dev/null | grep -o -- '-i "[^"]*"' |
        sed "s|^-i \"$media/||; s|\"\$||" | tr '\n' ' ' | sed 's/ $//'
}
converted_is() { [ "$(converted)" = "$1" ]; }
launch() { # starts the program with arguments; its pid in $!
    (cd "$prog" && exec ./velmora "$@" >> "$prog/stdout.txt" 2>&1) &
}
main_up() { # waits for the main window of the program $pid
    up_or_ended() { viewable "Velmora 1.3" || ended; }
    limit=60 until_true up_or_ended && ! ended || fail "no main window"
}
params() { [ "$(grep -c 'parameter: ' "$prog/log.txt" 2>/dev/null)" = "$1" ]; }
ended() { ! kill -0 "$pid" 2>/dev/null; }
opened() { grep -qF "$1" "$work/opened.txt" 2>/dev/null; }
# Output names (hidden temporary files included), one a line, sorted.
listing() { ls -A "$out" | sort | tr '\n' ' ' | sed 's/ $//'; }
lists() { [ "$(listing)" = "$1" ]; }

crop() { # name x y w h: that part of the main window, saved as $work/name.png
    origin
    import -window root -crop "$4x$5+$((ox + $2))+$((oy + $3))" +repage "$work/$1.png" 2>/dev/null
}
# True when the part of the main window saved as mark $1 looks the same now.
same() {
    crop now ${marks[$1]}
    [ "$(compare -metric AE "$work/$1.png" "$work/now.png" null: 2>&1)" = 0 ]
}
differs() { ! same "$1"; }
declare -A marks

geometry() { # X Y WIDTH HEIGHT of window $1 (xdotool's counts a frame twice)
    local info
    info=$(xwininfo -id "$1")
    X=$(echo "$info" | awk '/Absolute upper-left X/ {print $4}')
    Y=$(echo "$info" | awk '/Absolute upper-left Y/ {print $4}')
    WIDTH=$(echo "$info" | awk '/Width:/ {print $2}')
    HEIGHT=$(echo "$info" | awk '/Height:/ {print $2}')
}
origin() { # top left corner of the main window on the screen
    local id
    id=$(window_id "Velmora 1.3") || fail "main window not on screen"
    geometry "$id"
    ox=$X; oy=$Y
}
placed() { origin; [ "$ox" = "$wx" ] && [ "$oy" = "$wy" ]; }
at() { origin; xdotool mousemove $((ox + $1)) $((oy + $2)); }

peak() { # decoded peak level of a file in dBFS
    ffmpeg -nostdin -hide_banner -i "$1" -map 0:a:0 -af volumedetect -f null - 2>&1 |
        grep -o 'max_volume: [-0-9.]*' | awk '{print $2}'
}

# Reads window $1 through AT-SPI into $work/heard.txt; false while the
# window is not in the accessibility tree yet.
heard=""
walk() {
    "$here/a11y_walk.py" "$pid" "$1" > "$work/heard.txt" 2>&1
    heard=$?
    [ $heard != 2 ]
}
hears() { # a line of the last walk that starts with the pattern $1 (* matches any text)
    local l
    while IFS= read -r l; do
        # shellcheck disable=SC2254
        case "$l" in $1*) return 0 ;; esac
    done < "$work/heard.txt"
    return 1
}
notices() { grep -c '^notify' "$work/notices.txt" 2>/dev/null; }
notified() { grep '^notify' "$work/notices.txt" 2>/dev/null | grep -qF "$1"; }
# The taskbar entry showed the job's progress, then none once it ended.
taskbar_shown() {
    awk -F'\t' '$1 == "launcher" && $2 == "application://com.draviksoft.Velmora.desktop" {
            if ($4 == "True" && $3 > 0 && $3 <= 1) shown = 1
            last = $4
        } END { exit !(shown && last == "False") }' "$work/notices.txt" 2>/dev/null
}

tone() { # name seconds [rate channels]: 8000 Hz mono unless given
    mkdir -p "$(dirname "$media/$1")"
    ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=$2" -ac "${4:-1}" -ar "${3:-8000}" \
        "$media/$1" || fail "ffmpeg"
}

# How many viewable top-level windows are named exactly $2; true when $1.
shown_count() {
    local n=0 id
    for id in $(xwininfo -root -tree 2>/dev/null | grep -F "\"$2\": (" | awk '{print $1}'); do
        xwininfo -id "$id" 2>/dev/null | grep -q IsViewable && n=$((n + 1))
    done
    [ "$n" = "$1" ]
}

export DISPLAY
case "$opts" in *,a11y,*) export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 ;; esac
case "$opts" in *,wm,*)
    openbox > /dev/null 2>&1 &
    wmpid=$!
    limit=10 until_true xprop -root _NET_SUPPORTING_WM_CHECK > /dev/null ||
        fail "openbox did not start"
    ;;
esac
step=start
# A case with a "race" step starts its programs itself.
if ! echo "$steps" | grep -qE '(^|;) *race '; then
    launch
    pid=$!
    main_up
fi

IFS=';' read -ra list <<< "$steps"
for step in "${list[@]}"; do
    step=$(echo "$step" | sed 's/^ *//; s/ *$//')
    [ -z "$step" ] && continue
    verb=${step%% *}; arg=${step#"$verb"}; arg=${arg# }
    case "$verb" in
    tone) tone $arg ;;
    junk) printf 'not a sound file\n' > "$media/$arg" ;; # a file no decoder reads
    twice) # two windows of that title at once: a message box over the busy window
        limit=30 until_true shown_count 2 "$arg" || fail "no second window" ;;
    focus) # give the keyboard to a window by its title
        id=$(window_id "$arg") || fail "no window"
        xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
        ;;
    activate) # hand the desktop's focus to a window by its title, as a click on it does
        id=$(window_id "$arg") || fail "no window"
        xdotool windowactivate --sync "$id" 2>/dev/null || fail "not activated"
        ;;
    other) # another program's window, titled $arg
        xmessage -geometry +0+0 -title "$arg" "$arg" > /dev/null 2>&1 &
        otherpid=$!
        limit=20 until_true viewable "$arg" || fail "no window"
        ;;
    key) xdotool key --delay 60 $arg ;;
    type) xdotool type --delay 20 "$(echo "$arg" | sed "s|@|$media/|g")" ;;
    click) at $arg; xdotool click 1 ;;
    clickin) # title x y: a click inside another window (negative: from the right or bottom)
        set -- $arg
        id=$(window_id "$1") || fail "no window"
        geometry "$id"
        dx=$2; dy=$3
        [ "$dx" -lt 0 ] && dx=$((WIDTH + dx))
        [ "$dy" -lt 0 ] && dy=$((HEIGHT + dy))
        xdotool mousemove $((X + dx)) $((Y + dy)) click 1
        ;;
    drag) # x1 y1 x2 y2 on the main window, in small steps as a hand moves
        set -- $arg
        at "$1" "$2"; xdotool mousedown 1
        for k in 1 2 3 4 5 6 7 8 9 10; do
            at $(($1 + ($3 - $1) * k / 10)) $(($2 + ($4 - $2) * k / 10)); sleep 0.05
        done
        xdotool mouseup 1
        ;;
    movewin) # x y dx dy: press on the main window at x y, move the mouse by dx dy, release
        set -- $arg
        origin
        wx=$((ox + $3)); wy=$((oy + $4))
        xdotool mousemove $((ox + $1)) $((oy + $2)) mousedown 1
        for k in 1 2 3 4 5 6 7 8 9 10; do
            xdotool mousemove $((ox + $1 + $3 * k / 10)) $((oy + $2 + $4 * k / 10)); sleep 0.05
        done
        xdotool mouseup 1
        limit=10 until_true placed || fail "window at $ox+$oy, not at $wx+$wy"
        ;;
    stays) # the main window is still where the last movewin put it
        sleep 0.5; placed || fail "window at $ox+$oy, not at $wx+$wy" ;;
    second) # a second start with files of the media folder: hands them over, ends at once
        files=(); for f in $arg; do files+=("$media/$f"); done
        t0=$(date +%s%N)
        (cd "$prog" && timeout 30 ./velmora "${files[@]}" >> "$prog/stdout.txt" 2>&1)
        code=$?; ms=$((($(date +%s%N) - t0) / 1000000))
        echo "second start: exit $code after $ms ms"
        [ $code = 0 ] || fail "second start exited $code"
        [ $ms -le 10000 ] || fail "second start took $ms ms"
        ;;
    race) # two starts at the same moment, one file each: one program holds both
        set -- $arg
        launch "$media/$1"; p1=$!
        launch "$media/$2"; p2=$!
        # A process that ended but is not yet waited for still answers kill -0.
        alive() { ps -o stat= -p "$1" 2>/dev/null | grep -qv Z; }
        one_ended() { ! alive $p1 || ! alive $p2; }
        limit=60 until_true one_ended || fail "both starts kept running"
        if alive $p1; then pid=$p1; other=$p2; else pid=$p2; other=$p1; fi
        wait $other; code=$?
        [ $code = 0 ] || fail "the start that handed over exited $code"
        main_up
        ;;
    crash) kill -KILL "$pid"; wait "$pid" 2>/dev/null; limit=10 until_true hidden "Velmora 1.3" ||
        fail "window stayed" ;;
    restart) launch; pid=$!; main_up ;;
    windows) # exactly N main windows, also a moment later
        sleep 1
        n=$(count_windows "Velmora 1.3"); [ "$n" = "$arg" ] || fail "$n main windows"
        ;;
    active) limit=10 until_true is_active "$arg" || fail "not the active window" ;;
    converted) limit=120 until_true converted_is "$arg" || fail "converted: '$(converted)'" ;;
    dragin) # files dropped from another program onto the main window at x y
        set -- $arg
        files=(); for f in "${@:3}"; do files+=("$media/$f"); done
        "$dragsource" "${files[@]}" > "$work/drag.txt" 2>&1 &
        dragpid=$!
        limit=20 until_true viewable "drag source" || fail "no drag source"
        origin
        xdotool mousemove 80 50 mousedown 1
        for k in 1 2 3 4 5 6 7 8 9 10 11 12; do
            xdotool mousemove $((80 + (ox + $1 - 80) * k / 12)) $((50 + (oy + $2 - 50) * k / 12))
            sleep 0.08
        done
        sleep 0.2; xdotool mouseup 1
        limit=20 until_true grep -q 'drop=' "$work/drag.txt" || fail "the drag did not end"
        grep -q 'drop=1' "$work/drag.txt" || fail "drop refused: $(cat "$work/drag.txt")"
        ;;
    mark) # name x y w h: remember how that part of the window looks
        set -- $arg
        marks[$1]="$2 $3 $4 $5"
        crop $arg
        ;;
    changes) limit=20 until_true differs "$arg" || fail "no change" ;;
    back) limit=20 until_true same "$arg" || fail "not as it was" ;;
    steady) limit=2 until_true differs "$arg" && fail "it changed" ;;
    sees) limit=30 until_true viewable "$arg" || fail "window did not show" ;;
    gone) limit=30 until_true hidden "$arg" || fail "window did not go" ;;
    # A window that must not come: no other way to see an absence.
    never) limit=2 until_true viewable "$arg" && fail "window showed" ;;
    encoding) limit=120 until_true encoding || fail "no encoder started" ;;
    noencoder) limit=30 until_true no_encoder || fail "encoder still running: $(encoders)" ;;
    params) limit=120 until_true params "$arg" ||
        fail "parameter lines: $(grep -c 'parameter: ' "$prog/log.txt" 2>/dev/null)" ;;
    outputs) limit=120 until_true lists "$arg" || fail "outputs: '$(listing)'" ;;
    opened) limit=20 until_true opened "$arg" || fail "not opened: $(cat "$work/opened.txt" 2>/dev/null)" ;;
    duration) # file seconds tolerance
        set -- $arg
        d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/$1")
        awk -v d="$d" -v e="$2" -v t="$3" 'BEGIN { exit !(d != "" && d - e <= t && e - d <= t) }' ||
            fail "duration of $1 is '$d'"
        ;;
    level) # source output tolerance: the output's decoded peak is the source's, in dB
        set -- $arg
        a=$(peak "$media/$1"); b=$(peak "$out/$2")
        awk -v a="$a" -v b="$b" -v t="$3" 'BEGIN { exit !(a != "" && b != "" && a - b <= t && b - a <= t) }' ||
            fail "peak of $2 is '$b' dB, of $1 '$a' dB"
        ;;
    reads) # title: a screen reader finds a name on every control of that window
        # A walk takes a second or more: ten tries, a second apart.
        i=0
        until walk "$arg" || [ $i = 10 ]; do sleep 1; i=$((i + 1)); done
        [ "$heard" != 2 ] || fail "not in the accessibility tree: $(cat "$work/heard.txt")"
        [ "$heard" = 0 ] || fail "$(cat "$work/heard.txt")"
        ;;
    hears) hears "$arg" || fail "$(cat "$work/heard.txt")" ;; # "role: name" of the last read
    notifier) # a notification server and taskbar on the case's bus
        "$here/notice_server.py" "$work/notices.txt" > "$work/notifier.txt" 2>&1 &
        noticepid=$!
        limit=20 until_true grep -q ready "$work/notices.txt" 2>/dev/null ||
            fail "no notification server: $(cat "$work/notifier.txt")"
        ;;
    notified) limit=30 until_true notified "$arg" || fail "notices: $(cat "$work/notices.txt")" ;;
    notices) # exactly that many notices, for two seconds more
        sleep 2
        [ "$(notices)" = "$arg" ] || fail "notices: $(cat "$work/notices.txt")"
        ;;
    taskbar) limit=10 until_true taskbar_shown || fail "launcher entry: $(cat "$work/notices.txt")" ;;
    term) kill -TERM "$pid"; limit=15 until_true ended || fail "program did not end" ;;
    shot) import -window root "$shots/${case_name}-$arg.png" 2>/dev/null ;;
    *) fail "unknown verb" ;;
    esac
done
step=end
echo "PASS [$case_name]"
