# shellcheck shell=bash disable=SC2154
# (sourced: prog, media, out, work and the helpers are smoke-gui.sh's)
# The desktop features of the Windows program under wine, sourced by
# smoke-gui.sh after its own steps (it uses that script's helpers and
# folders): a folder on the command line adds the accepted files inside it
# (not the hidden ones, a link loop walked once), a second start hands its
# file to the running window and ends with 0, the job's progress reaches the
# taskbar list. Wine has no taskbar: the progress is seen in wine's own
# trace. The end's message needs another program in front, which wine
# without a window manager does not keep there (the message itself was seen
# as a balloon of wine's tray window by hand). The preview is not tried: wine's
# Media Foundation opens no file:/// URL (README).
smoke_desktop_features() {
    local album=$media/album second rc pid started
    # A fresh program: the list of the steps before is not wanted here.
    wineserver -k >/dev/null 2>&1
    wineserver -w
    rm -rf "${out:?}"/*
    mkdir -p "$album/sub"
    cp "$media/a.wav" "$album/c.wav"
    cp "$media/a.wav" "$album/sub/d.wav"
    cp "$media/a.wav" "$album/.dot.wav"
    cp "$media/a.wav" "$album/hidden.wav"
    echo notes >"$album/notes.txt"
    ln -s .. "$album/sub/up"
    cp "$media/a.wav" "$media/b.wav"
    wine cmd /c attrib +h "$(winpath "$album/hidden.wav")" >/dev/null 2>&1
    wine cmd /c attrib "$(winpath "$album/hidden.wav")" 2>/dev/null | grep -q ' H ' ||
        fail "wine could not mark hidden.wav hidden"

    # Wine's taskbar list is a stub that says so at its first call of each
    # kind: the progress is seen to arrive, its clearing is not.
    (cd "$prog" && WINEDEBUG=-all,fixme+explorerframe \
        exec wine velmora.exe "$(winpath "$album")" >"$prog/desktop.txt" 2>&1 </dev/null) &
    within 150 main_seen || fail "no main window for the folder start"
    sleep 3
    shot desktop-folder

    # The second start: it ends at once with 0, the running window takes b.wav.
    started=$(date +%s)
    (cd "$media" && exec wine "$prog/velmora.exe" b.wav >"$work/second.txt" 2>&1 </dev/null) &
    pid=$!
    within 60 gone "$pid" || fail "the second start did not end within 60 s"
    wait "$pid"
    rc=$?
    second=$(($(date +%s) - started))
    [ "$rc" -eq 0 ] || fail "the second start ended with $rc: $(head -c 300 "$work/second.txt")"
    sleep 2
    [ "$(program_windows)" -eq 1 ] || fail "the second start left $(program_windows) windows"
    shot desktop-second-start

    # Converted: c.wav, d.wav and b.wav, once each.
    click "$main_title" 616 400
    within 30 converting_or_done || fail "Convert showed no converting window"
    within 180 three_converted || fail "not c.amr, d.amr and b.amr in the output: $(ls -A "$out")"
    within 60 only_main || fail "the converting window stayed after the job"
    local made
    made=$(ls -A "$out" | sort | tr '\n' ' ')
    [ "$made" = "b.amr c.amr d.amr " ] || fail "the folder and the second start made: $made"
    shot desktop-converted
    grep -q 'taskbar_list_SetProgressValue' "$prog/desktop.txt" ||
        fail "the job's progress never reached the taskbar list"
    # The steps after this one start programs of their own.
    wineserver -k >/dev/null 2>&1
    wineserver -w
    echo "desktop: a folder added c.wav and sub/d.wav (no hidden file, the link loop once);" \
        "a second start handed b.wav over and ended with 0 in $second s, one window;" \
        "the job's progress reached ITaskbarList3 (wine stubs it)"
}

gone() { ! kill -0 "$1" 2>/dev/null; }
converting_or_done() { window_id Converting >/dev/null || three_converted; }
three_converted() {
    [ -s "$out/b.amr" ] && [ -s "$out/c.amr" ] && [ -s "$out/d.amr" ] &&
        [ -z "$(find "$out" -name '*.part')" ] && no_encoder
}
