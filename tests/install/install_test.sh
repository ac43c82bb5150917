#!/bin/sh
# Installs the build into a staging root (DESTDIR) and meets the installation
# as a user does: the files in their places, the desktop entry and metainfo
# valid, --help and --version, the man pages, then the installed program
# started under the current X display with a file on its command line,
# converted by a click on its Convert button, and closed. Settings and log
# must land in the XDG folders, never in the program folder. Last, the
# Debian package of the build must pass lintian without errors or warnings.
# Arguments: build folder, version, folder for the screenshot.
set -u
build="$1"; version="$2"; shots="$3"
id=com.draviksoft.Velmora
failed=0
fail() { echo "FAIL: $*"; failed=1; }

work="$(mktemp -d)"
pid=""
cleanup() {
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

stage="$work/root"
if ! DESTDIR="$stage" cmake --install "$build" --prefix /usr > "$work/install.txt" 2>&1; then
    cat "$work/install.txt"
    echo "FAIL: cmake --install"
    exit 1
fi

for f in usr/bin/velmora usr/bin/evc usr/lib/velmora/Res.so usr/lib/velmora/Form.so \
         usr/lib/velmora/Help.html usr/share/applications/$id.desktop \
         usr/share/metainfo/$id.metainfo.xml usr/share/icons/hicolor/48x48/apps/$id.png \
         usr/share/icons/hicolor/128x128/apps/$id.png \
         usr/share/icons/hicolor/scalable/apps/$id.svg \
         usr/share/man/man1/velmora.1.gz usr/share/man/man1/evc.1.gz; do
    [ -f "$stage/$f" ] || fail "not installed: $f"
done
for size in 48 128; do
    got="$(identify -format '%wx%h' "$stage/usr/share/icons/hicolor/${size}x$size/apps/$id.png" 2>&1)"
    [ "$got" = "${size}x$size" ] || fail "icon ${size}: $got"
done

desktop="$stage/usr/share/applications/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$stage/usr/share/metainfo/$id.metainfo.xml" > "$work/as.txt" 2>&1 ||
    { cat "$work/as.txt"; fail "appstreamcli validate"; }
grep -qx "Exec=velmora %F" "$desktop" || fail "Exec line"

# "Open with" is offered for every extension the list takes.
mimes=";$(sed -n 's/^MimeType=//p' "$desktop")"
for ext in 3gp mp4 m4v mpeg 3g2 mpg avi asf mov wmv flv swf rm rmvb vob aac ac3 m4a mp2 mp3 \
           ogg tta wav wma amr; do
    found=""
    for type in $(awk -v g="pattern=\"*.$ext\"" '
        /<mime-type / { match($0, /type="[^"]*"/); t = substr($0, RSTART + 6, RLENGTH - 7) }
        /<glob / { if (index(tolower($0), g)) print t }' \
        /usr/share/mime/packages/freedesktop.org.xml); do
        case "$mimes" in *";$type;"*) found=yes ;; esac
    done
    [ -n "$found" ] || fail "no MimeType for .$ext"
done

for page in velmora evc; do
    file="$stage/usr/share/man/man1/$page.1.gz"
    warnings="$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "man $page: $warnings"
    man -l "$file" 2>/dev/null | grep -q "^NAME" || fail "man $page renders no NAME"
done

[ "$("$stage/usr/bin/velmora" --version)" = "velmora $version" ] || fail "velmora --version"
"$stage/usr/bin/velmora" --help | grep -q "^Usage: velmora" || fail "velmora --help"
[ "$("$stage/usr/bin/evc" --version | head -1)" = "evc $version" ] || fail "evc --version"
"$stage/usr/bin/evc" --help | grep -q "^usage: evc" || fail "evc --help"

# The installed program, as started from the menu with a file.
mkdir -p "$work/home" "$work/conf/velmora/Config" "$work/state" "$work/media" "$work/out"
printf '\r\n[USRInfo]\r\nOutDir=%s\r\n' "$work/out" > "$work/conf/velmora/Config/UserSettings.ini"
ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=3 "$work/media/tone.wav" ||
    fail "test media"
cd "$work/media" || exit 1
env HOME="$work/home" XDG_CONFIG_HOME="$work/conf" XDG_STATE_HOME="$work/state" \
    VELMORA_QT_DIALOGS=1 QT_QPA_PLATFORM=xcb QT_MEDIA_BACKEND=gstreamer \
    "$stage/usr/bin/velmora" tone.wav > "$work/stdout.txt" 2>&1 &
pid=$!
window="$(timeout 40 xdotool search --sync --onlyvisible --name '^Velmora 1\.3$' | head -1)"
if [ -z "$window" ]; then
    cat "$work/stdout.txt"
    fail "no main window"
else
    sleep 1
    # The middle of the Convert button.
    xdotool mousemove --window "$window" 616 400 click 1
    i=0
    while [ ! -s "$work/out/tone.amr" ] && [ $i -lt 120 ]; do
        sleep 0.5
        i=$((i + 1))
    done
    sleep 2
    import -window root "$work/installed.png" 2>/dev/null
    mkdir -p "$shots" && cp "$work/installed.png" "$shots/installed_program.png"
    [ -d /work/screens ] && cp "$work/installed.png" /work/screens/installed_program.png
fi
kill -TERM "$pid" 2>/dev/null
i=0
while kill -0 "$pid" 2>/dev/null && [ $i -lt 100 ]; do
    sleep 0.1
    i=$((i + 1))
done
wait "$pid"
code=$?
pid=""
[ "$code" = 0 ] || fail "exit code $code"

[ -s "$work/out/tone.amr" ] || fail "the file from the command line was not converted"
log="$work/state/velmora/log.txt"
grep -q "|parameter: $stage/usr/bin/evc -y -i \"$work/media/tone.wav\"" "$log" 2>/dev/null ||
    fail "log: $(cat "$log" 2>&1)"
ini="$work/conf/velmora/Config/UserSettings.ini"
grep -q "^SHWDDir=0" "$ini" || fail "settings not saved at close: $(cat "$ini")"
[ ! -e "$stage/usr/lib/velmora/Config" ] || fail "Config written into the program folder"
[ ! -e "$stage/usr/lib/velmora/log.txt" ] || fail "log written into the program folder"
[ ! -e "$work/home/.config" ] || fail "XDG_CONFIG_HOME ignored"

# The open dialog: the desktop's own (GTK's here, through Qt's platform
# theme) unless VELMORA_QT_DIALOGS asks for Qt's. Prints gtk, qt or none.
open_dialog_kind() {
    env HOME="$work/dhome" XDG_CONFIG_HOME="$work/dconf" XDG_STATE_HOME="$work/dstate" \
        QT_QPA_PLATFORMTHEME=gtk3 QT_QPA_PLATFORM=xcb QT_MEDIA_BACKEND=gstreamer \
        ${1:+VELMORA_QT_DIALOGS=$1} "$stage/usr/bin/velmora" > "$work/dialog.txt" 2>&1 &
    pid=$!
    main="$(timeout 40 xdotool search --sync --onlyvisible --name '^Velmora 1\.3$' | head -1)"
    kind=none
    if [ -n "$main" ]; then
        sleep 1
        # The middle of the Open button.
        xdotool mousemove --window "$main" 616 296 click 1
        i=0
        while [ $kind = none ] && [ $i -lt 40 ]; do
            sleep 0.25
            i=$((i + 1))
            for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
                [ "$w" = "$main" ] && continue
                case "$(xprop -id "$w" WM_WINDOW_ROLE)" in
                *GtkFileChooserDialog*) kind=gtk ;;
                *) kind=qt ;;
                esac
            done
        done
    fi
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    pid=""
    echo $kind
}
mkdir -p "$work/dhome"
kind="$(open_dialog_kind "")"
[ "$kind" = gtk ] || fail "desktop open dialog: $kind"
kind="$(open_dialog_kind 1)"
[ "$kind" = qt ] || fail "Qt open dialog with VELMORA_QT_DIALOGS=1: $kind"

# The Debian package of this build, as Debian's checker sees it: no error,
# no warning.
if (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb") \
        > "$work/cpack.txt" 2>&1; then
    deb="$work/deb/velmora_${version}_amd64.deb"
    [ -f "$deb" ] || fail "no package $deb: $(ls "$work/deb")"
    lintian --no-tag-display-limit "$deb" > "$work/lintian.txt" 2>&1
    if grep -q '^[EW]: ' "$work/lintian.txt"; then
        grep '^[EW]: ' "$work/lintian.txt"
        fail "lintian"
    fi
else
    cat "$work/cpack.txt"
    fail "cpack"
fi

[ $failed = 0 ] && echo "install test passed"
exit $failed
