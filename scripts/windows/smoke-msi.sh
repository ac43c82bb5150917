# shellcheck shell=bash disable=SC2154
# (sourced: folder, media, out, work, screens and the helpers are smoke-gui.sh's)
# The installer under wine, sourced by smoke-gui.sh after its own steps:
# msiexec installs the package beside the program folder without a question;
# the program starts from the target of the Start menu shortcut with its
# settings in %APPDATA%\Velmora\Config, converts a WAV, and a second start with
# another file hands it to the running window (one window, both files
# converted); msiexec /x then leaves no file, shortcut or registry entry of
# the package, and the user's settings and log stay.
#
# Wine puts a per-machine shortcut into the user's Start menu (Windows: the
# common one), so both are searched; it writes no DisplayIcon nor
# EstimatedSize into the uninstall entry (Windows does, from ARPPRODUCTICON
# and its costing), so those are read from the package's own tables.
smoke_installer() {
    local msi=$1 started appdata localdata program lnk target rc pid first second
    [ -f "$msi" ] || fail "no installer $msi"
    wineserver -k >/dev/null 2>&1
    within 30 no_program_window || fail "the programs before did not end"
    rm -rf "${out:?}"/*

    appdata=$(unix_folder APPDATA)
    localdata=$(unix_folder LOCALAPPDATA)
    program=$WINEPREFIX/drive_c/Program\ Files/Velmora
    [ -n "$appdata" ] || fail "wine names no APPDATA"
    [ -n "$localdata" ] || fail "wine names no LOCALAPPDATA"
    # A run before that stopped half-way leaves its installation: the package
    # replaces it (the same version is upgraded too), then removes it.
    rm -rf "$appdata/Velmora" "$localdata/Velmora"
    mkdir -p "$appdata/Velmora/Config"
    printf '\r\n[USRInfo]\r\nInitDir=%s\\\r\nSHWDDir=0\r\nSHUTDOWN=0\r\nOutDir=%s\r\n' \
        "$(winpath "$media")" "$(winpath "$out")" >"$appdata/Velmora/Config/UserSettings.ini"
    touch -d '1 hour ago' "$appdata/Velmora/Config/UserSettings.ini"
    local wav_default
    wav_default=$(reg_default 'HKCR\.wav')

    started=$(date +%s)
    wine msiexec /i "$(winpath "$msi")" /qn >"$work/install.txt" 2>&1
    rc=$?
    local install=$(($(date +%s) - started))
    [ "$rc" -eq 0 ] || fail "msiexec /i ended with $rc: $(head -c 300 "$work/install.txt")"
    local missing
    missing=$(cd "$folder" && find . -type f | while read -r f; do
        cmp -s "$f" "$program/$f" || echo "$f"
    done)
    [ -z "$missing" ] || fail "installed folder lacks or differs in: $missing"
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>&1 | tr -d '\r' >"$work/arp.txt"
    grep -q 'DisplayName.*REG_SZ *Velmora$' "$work/arp.txt" || fail "no uninstall entry named Velmora"
    local entries
    entries=$(grep -c 'DisplayName.*REG_SZ *Velmora$' "$work/arp.txt")
    [ "$entries" -eq 1 ] || fail "$entries uninstall entries named Velmora"
    for want in "DisplayVersion.*$(msi_property "$msi" ProductVersion)" 'Publisher.*Dravik Soft' \
        'Size *REG_SZ *[1-9]'; do
        grep -q "$want" "$work/arp.txt" || fail "the uninstall entry has no $want"
    done
    msi_table "$msi" Icon | grep -q '^velmora.ico' || fail "the package has no icon"
    [ "$(reg_values 'HKLM\Software\Classes\Applications\velmora.exe\SupportedTypes' | wc -l)" -eq \
        "$(msi_table "$msi" Registry | grep -c 'SupportedTypes')" ] ||
        fail "Open with lists not every extension"
    reg_values 'HKCR\.wav\OpenWithProgids' | grep -q '^Velmora.MediaFile$' ||
        fail ".wav does not offer Velmora under Open with"
    [ "$(reg_default 'HKCR\.wav')" = "$wav_default" ] || fail "the package took over .wav"
    programs_shot msi-installed

    # The shortcut's target, as Windows would start it.
    lnk=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Velmora.lnk' | head -n 1)
    [ -n "$lnk" ] || fail "no Start menu shortcut Velmora.lnk"
    target=$(lnk_target "$lnk")
    [ "$target" = 'C:\Program Files\Velmora\velmora.exe' ] ||
        fail "the shortcut starts '$target', not the installed program"
    started=$(date +%s)
    (cd "$program" && exec wine "$target" >"$work/installed.txt" 2>&1 </dev/null) &
    first=$!
    within 150 main_seen || fail "the installed program showed no main window within 150 s"
    local main=$(($(date +%s) - started))
    sleep 2
    shot msi-started
    add a.wav
    click "$main_title" 616 400
    within 120 msi_converted a || fail "the installed program made no a.amr"
    within 30 only_main || fail "the converting window stayed after the file was written"
    shot msi-converted

    # The second start: ends at once, the running window takes b.wav. Both
    # converted again proves the one list holds two rows.
    cp "$media/a.wav" "$media/b.wav"
    rm -f "$out/a.amr"
    started=$(date +%s)
    (cd "$media" && exec wine "$target" b.wav >"$work/second.txt" 2>&1 </dev/null) &
    pid=$!
    within 60 pid_gone "$pid" || fail "the second start did not end within 60 s"
    wait "$pid"
    rc=$?
    second=$(($(date +%s) - started))
    [ "$rc" -eq 0 ] || fail "the second start ended with $rc: $(head -c 300 "$work/second.txt")"
    within 30 only_main || fail "the second start left $(program_windows) windows"
    sleep 2
    shot msi-second-start
    click "$main_title" 616 400
    within 120 msi_converted a b || fail "not a.amr and b.amr after the second start: $(ls -A "$out")"
    within 30 only_main || fail "the converting window stayed after the job"
    shot msi-two-converted

    # Closed the normal way, so the settings are written where they belong.
    xdotool key --window "$(window_id "$main_title")" alt+F4
    within 30 pid_gone "$first" || fail "the installed program did not end when closed"
    [ "$appdata/Velmora/Config/UserSettings.ini" -nt "$work/install.txt" ] ||
        fail "the settings in %APPDATA%\\Velmora\\Config were not written"
    grep -aq 'parameter: ' "$localdata/Velmora/log.txt" 2>/dev/null ||
        fail "no log in %LOCALAPPDATA%\\Velmora\\log.txt"
    local extra
    extra=$(cd "$program" && find . -type f | while read -r f; do
        [ -f "$folder/$f" ] || echo "$f"
    done)
    [ -z "$extra" ] || fail "the program wrote into its installed folder: $extra"

    started=$(date +%s)
    wine msiexec /x "$(winpath "$msi")" /qn >"$work/uninstall.txt" 2>&1
    rc=$?
    local uninstall=$(($(date +%s) - started))
    [ "$rc" -eq 0 ] || fail "msiexec /x ended with $rc: $(head -c 300 "$work/uninstall.txt")"
    [ ! -e "$program" ] || fail "uninstall left $(find "$program" | head -n 5 | tr '\n' ' ')"
    [ -z "$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/*' -iname 'velmora*')" ] ||
        fail "uninstall left the shortcut"
    for key in 'HKLM\Software\Classes\Applications\velmora.exe' \
        'HKLM\Software\Classes\Velmora.MediaFile' \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\velmora.exe'; do
        wine reg query "$key" >/dev/null 2>&1 && fail "uninstall left $key"
    done
    reg_values 'HKCR\.wav\OpenWithProgids' | grep -q Velmora && fail "uninstall left .wav's Open with"
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
        grep -q 'REG_SZ *Velmora$' && fail "uninstall left its entry"
    [ -s "$appdata/Velmora/Config/UserSettings.ini" ] || fail "uninstall took the settings"
    [ -s "$localdata/Velmora/log.txt" ] || fail "uninstall took the log"
    programs_shot msi-uninstalled
    echo "installer: installed in $install s, main window after $main s, second start ended" \
        "in $second s with both files converted by one window, uninstalled in $uninstall s" \
        "leaving only the settings and the log"
}

# Wine's list of installed programs, as a screenshot.
programs_shot() {
    wine control appwiz.cpl >/dev/null 2>&1 </dev/null &
    if within 30 window_id "Add/Remove Programs" >/dev/null; then
        sleep 2
        shot "$1"
    fi
    wineserver -k >/dev/null 2>&1
}
no_program_window() { [ "$(program_windows)" -eq 0 ]; }
pid_gone() { ! kill -0 "$1" 2>/dev/null; }
msi_converted() { # names: each NAME.amr written, no temporary file left
    local n
    for n in "$@"; do [ -s "$out/$n.amr" ] || return 1; done
    [ -z "$(find "$out" -name '*.part')" ]
}
# A folder wine's environment names, as a path here.
unix_folder() {
    local value
    value=$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')
    [ -n "$value" ] && [ "$value" != "%$1%" ] && winepath -u "$value" 2>/dev/null
}
reg_values() { # key: the names of its values, one a line
    wine reg query "$1" 2>/dev/null | tr -d '\r' | sed -n 's/^    \(.*\)    REG_[A-Z_]*    .*$/\1/p; s/^    \(.*\)    REG_[A-Z_]*$/\1/p'
}
# A key's default value; empty when it has none or the key is missing.
reg_default() {
    wine reg query "$1" /ve 2>/dev/null | tr -d '\r' |
        sed -n '/(value not set)$/d; s/^    (Default)    REG_[A-Z_]*    //p'
}
# (msiinfo writes a table's binary streams into a folder named after it, here.)
msi_table() { (cd "$work" && msiinfo export "$1" "$2") | tail -n +4 | tr -d '\r'; }
msi_property() { msi_table "$1" Property | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
# The local path a shell link starts (its LinkInfo's LocalBasePath).
lnk_target() {
    python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 0x14)[0]
pos = 0x4C
if flags & 1:  # HasLinkTargetIDList
    pos += 2 + struct.unpack_from("<H", data, pos)[0]
if not flags & 2:  # HasLinkInfo
    sys.exit("no LinkInfo")
base = struct.unpack_from("<I", data, pos + 16)[0]
end = data.index(b"\0", pos + base)
print(data[pos + base:end].decode("mbcs" if sys.platform == "win32" else "latin-1"))
EOF
}
