#!/usr/bin/env bash
# The editor under a virtual X server, driven through the test host like a Linux host would.
# Usage: editor-test.sh CASE MORAINE-HOST PLUGIN.so   (run inside xvfb-run)
set -euo pipefail
case_name="$1"
host="$2"
plugin="$3"
work="$(mktemp -d)"
export MORAINE_DATA_DIR="$work/data"
mkdir -p "$MORAINE_DATA_DIR"
trap 'rm -rf "$work"' EXIT
# Sanitizer builds: what the plug-in keeps for the process on purpose is not a leak.
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

run() { "$host" --editor "$@" "$plugin" >"$work/out.txt" 2>&1 || { cat "$work/out.txt"; fail "host exited with $?"; }; }

case "$case_name" in
profile-*)
    # Opens, paints and closes with another thread automating and audio running.
    run --profile "${case_name#profile-}" --seconds 1 --automate --audio
    grep -q "editor rectangle 1010 x 623" "$work/out.txt" || fail "no editor rectangle"
    grep -q "editor session done" "$work/out.txt" || fail "session did not finish"
    ;;
pixels)
    # The window shows exactly the offscreen image.
    MORAINE_PANEL_DUMP="$work/offscreen.png" run --profile carla --seconds 1 --screenshot "$work/window.png"
    differing=$(compare -metric AE "$work/offscreen.png" "$work/window.png" null: 2>&1 || true)
    [ "$differing" = "0" ] || fail "window and offscreen image differ in $differing pixels"
    ;;
drag)
    # A real pointer drag on the "Envelope Follower" slider: begin edit, automation, end edit.
    "$host" --editor --profile ardour --seconds 4 --print-edits "$plugin" >"$work/out.txt" 2>&1 &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --name "Moraine Deck editor" | head -1)
    sleep 0.5
    # A message box (a missing image, say) would take the click: Return answers it. With
    # no window manager the focus follows the pointer, so the key reaches the editor.
    xdotool mousemove --window "$window" 600 600
    sleep 0.1
    xdotool key Return
    sleep 0.2
    xdotool mousemove --window "$window" 32 205 mousedown 1
    sleep 0.2
    xdotool mousemove --window "$window" 32 225
    sleep 0.2
    xdotool mousemove --window "$window" 32 240
    sleep 0.2
    xdotool mouseup 1
    wait "$pid" || { cat "$work/out.txt"; fail "host exited with an error"; }
    grep -q "^edit b 2 " "$work/out.txt" || { cat "$work/out.txt"; fail "no begin edit"; }
    grep -q "^edit e 2 " "$work/out.txt" || fail "no end edit"
    first=$(awk '$2 == "a" && $3 == 2 { print $4; exit }' "$work/out.txt")
    last=$(awk '$2 == "a" && $3 == 2 { v = $4 } END { print v }' "$work/out.txt")
    awk -v f="$first" -v l="$last" 'BEGIN { exit !(f > 0.999 && l > 0.44 && l < 0.48) }' ||
        fail "automation went $first .. $last"
    # Begin before every automate call, end after the last.
    awk '$2 == "b" && $3 == 2 { b = NR } $2 == "a" && $3 == 2 { if (!b) bad = 1; a = NR }
         $2 == "e" && $3 == 2 { e = NR } END { exit !(b && e > a && !bad) }' "$work/out.txt" ||
        fail "gesture out of order"
    ;;
cord|cord-removed)
    # A real drag from the first oscillator's sawtooth output to the mixer override input:
    # the host records the input's jack parameter, and the instrument then plays that
    # oscillator alone. Pressing on the input again and dropping on bare panel pulls it out.
    # The bare circuit: the library's first sound has cords on that output, and a press on a
    # plugged jack picks its cords up instead of starting a new one.
    "$host" --editor --profile ardour --seconds 4 --print-edits --screenshot "$work/window.png" \
        --unplug --render-after 2 "$plugin" >"$work/out.txt" 2>&1 &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --name "Moraine Deck editor" | head -1)
    sleep 0.5
    xdotool mousemove --window "$window" 600 600
    sleep 0.1
    xdotool key Return
    sleep 0.2
    xdotool mousemove --window "$window" 237 163 mousedown 1
    for step in 1 2 3 4 5 6; do
        xdotool mousemove --window "$window" $((237 + step * 115)) $((163 - step * 9))
        sleep 0.05
    done
    xdotool mousemove --window "$window" 929 107
    sleep 0.1
    xdotool mouseup 1
    sleep 0.3
    if [ "$case_name" = cord-removed ]; then
        xdotool mousemove --window "$window" 929 107 mousedown 1
        xdotool mousemove --window "$window" 700 250
        sleep 0.1
        xdotool mousemove --window "$window" 500 250
        sleep 0.1
        xdotool mouseup 1
    fi
    wait "$pid" || { cat "$work/out.txt"; fail "host exited with an error"; }
    cat "$work/out.txt"
    last=$(awk '$2 == "a" && $3 == 161 { v = $4 } END { print v }' "$work/out.txt")
    hz=$(awk '$1 == "render" { print $2 }' "$work/out.txt")
    # The cord's lowest point, where it hangs over the panel between the two jacks.
    pixel=$(convert "$work/window.png" -crop 1x1+546+270 -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:)
    if [ "$case_name" = cord ]; then
        [ "$last" = "0.0580" ] || fail "the mixer override input's automation ended at '$last'"
        # The oscillator's coarse setting of 2 V with the keyboard voltage at rest (no key
        # yet: 0 V less the keyboard's 1 V offset): 10 Hz x 2^(2 - 1).
        awk -v f="$hz" 'BEGIN { exit !(f > 19.8 && f < 20.2) }' || fail "rendered $hz Hz, not 20 Hz"
        echo "$pixel" | awk '{ exit !($1 == $2 && $2 == $3 && $1 >= 100 && $1 <= 170) }' ||
            fail "no cord on the screen (pixel $pixel)"
    else
        [ "$last" = "0.0000" ] || fail "the cord stayed: automation ended at '$last'"
        echo "$pixel" | awk '{ exit ($1 == $2 && $2 == $3 && $1 >= 100 && $1 <= 170) }' ||
            fail "a cord is still drawn (pixel $pixel)"
    fi
    ;;
key-midi|key-click)
    # A note from the host's MIDI lights its key; a key held with the mouse sounds and lights.
    # The key of note 60: C, two octaves up, in its lower part.
    x=$((258 + 24 * 734 / 60 + 8))
    y=590
    if [ "$case_name" = key-midi ]; then
        "$host" --editor --profile carla --seconds 2 --audio --note 60 \
            --screenshot "$work/window.png" "$plugin" >"$work/out.txt" 2>&1 ||
            { cat "$work/out.txt"; fail "host exited with an error"; }
    else
        "$host" --editor --profile carla --seconds 3 --audio --screenshot "$work/window.png" \
            "$plugin" >"$work/out.txt" 2>&1 &
        pid=$!
        window=$(xdotool search --sync --onlyvisible --name "Moraine Deck editor" | head -1)
        sleep 0.5
        xdotool mousemove --window "$window" 600 600
        sleep 0.1
        xdotool key Return
        sleep 0.2
        xdotool mousemove --window "$window" "$x" "$y" mousedown 1
        wait "$pid" || { cat "$work/out.txt"; fail "host exited with an error"; }
        xdotool mouseup 1
    fi
    cat "$work/out.txt"
    pixel=$(convert "$work/window.png" -crop 1x1+"$x"+"$y" -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:)
    [ "$pixel" = "204 51 51" ] || fail "key 60 is not lit (pixel $pixel)"
    peak=$(awk '$1 == "audio" && $2 == "peak" { print $3 }' "$work/out.txt")
    awk -v p="$peak" 'BEGIN { exit !(p > 0.01) }' || fail "nothing sounded (peak $peak)"
    ;;
bad-parent)
    run --bad-parent --seconds 0.2
    grep -q "effEditOpen refused the parent window" "$work/out.txt" || fail "the editor opened"
    ;;
cycles)
    run --profile juce --cycles 50 --seconds 0.05
    ;;
left-open)
    run --profile ardour --seconds 0.5 --automate --leave-open
    ;;
instances)
    run --profile carla --instances 8 --seconds 1 --automate
    ;;
flood)
    run --profile ardour --flood 10000 --audio --seconds 2
    ;;
server-gone)
    # The X server dies while the editor is open: the editor stops drawing, the host lives.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    server=$!
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    DISPLAY=":$(cat "$work/display")" "$host" --editor --profile carla --seconds 3 --automate \
        "$plugin" >"$work/out.txt" 2>&1 &
    pid=$!
    sleep 1.5
    kill "$server"
    wait "$pid" || true
    grep -q "connection of the editor was lost" "$work/out.txt" || { cat "$work/out.txt"; fail "the editor did not notice"; }
    grep -q "editor session done" "$work/out.txt" || { cat "$work/out.txt"; fail "the host did not finish"; }
    ;;
dialog-saveas)
    # Save as: type a name into the in-panel field, OK, and the patch is on disk.
    "$host" --editor --profile carla --seconds 8 "$plugin" >"$work/out.txt" 2>&1 &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --name "Moraine Deck editor" | head -1)
    sleep 0.5
    xdotool mousemove --window "$window" 600 600 key Return
    sleep 0.2
    xdotool mousemove --window "$window" 438 11 click 1    # the save-as button
    sleep 0.3
    xdotool mousemove --window "$window" 470 245 click 1   # the name field
    sleep 0.2
    xdotool type --delay 20 "Xvfb Lead"
    sleep 0.2
    [ -z "${DIALOG_SHOTS:-}" ] || import -window root "$DIALOG_SHOTS/saveas.png"
    xdotool key Return    # ends the field
    sleep 0.2
    xdotool key Return    # the dialog's OK
    wait "$pid" || { cat "$work/out.txt"; fail "host exited with an error"; }
    grep -rl "Xvfb Lead" "$MORAINE_DATA_DIR" --include='*.qix' | grep -q . ||
        { cat "$work/out.txt"; fail "no patch file named Xvfb Lead"; }
    ;;
dialog-archive)
    # Export a category through the file chooser, then import it back.
    export HOME="$work/home"
    mkdir -p "$HOME"
    "$host" --editor --profile ardour --seconds 14 "$plugin" >"$work/out.txt" 2>&1 &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --name "Moraine Deck editor" | head -1)
    sleep 0.5
    xdotool mousemove --window "$window" 600 600 key Return
    sleep 0.2
    before=$(find "$MORAINE_DATA_DIR" -mindepth 2 -type d | wc -l)
    xdotool mousemove --window "$window" 519 11 click 1    # patch manager
    sleep 0.3
    xdotool mousemove --window "$window" 527 172 click 1   # first category
    sleep 0.2
    xdotool mousemove --window "$window" 283 210 click 1   # export
    sleep 0.3
    xdotool mousemove --window "$window" 430 462 click 1   # the chooser's name field
    sleep 0.2
    xdotool type --delay 20 "roundtrip"
    xdotool key Return
    sleep 0.5
    for _ in $(seq 50); do [ -s "$HOME/roundtrip.qix" ] && break; sleep 0.1; done
    [ -s "$HOME/roundtrip.qix" ] || { cat "$work/out.txt"; fail "no exported archive"; }
    xdotool key Return                                     # the export's notice
    sleep 0.3
    xdotool mousemove --window "$window" 283 181 click 1   # import
    sleep 0.3
    xdotool mousemove --window "$window" 260 145 click 1   # roundtrip.qix, the only file
    sleep 0.2
    [ -z "${DIALOG_SHOTS:-}" ] || import -window root "$DIALOG_SHOTS/chooser.png"
    xdotool mousemove --window "$window" 740 502 click 1   # the chooser's OK
    sleep 0.5
    [ -z "${DIALOG_SHOTS:-}" ] || import -window root "$DIALOG_SHOTS/notice.png"
    xdotool key Return                                     # the import's notice
    sleep 0.3
    xdotool mousemove --window "$window" 768 487 click 1   # the manager's OK
    wait "$pid" || { cat "$work/out.txt"; fail "host exited with an error"; }
    after=$(find "$MORAINE_DATA_DIR" -mindepth 2 -type d | wc -l)
    [ "$after" -gt "$before" ] || { grep -v "^opening\|^saved" "$work/out.txt"; find "$MORAINE_DATA_DIR" -maxdepth 2; fail "import added no folder ($before, $after)"; }
    ;;
dialog-learn)
    # Shift-click the cutoff, tick learn, CC 20 from the host, OK: CC 20 moves the cutoff.
    # A program change arrives while the dialog is open and lands without harm.
    "$host" --editor --profile ardour --seconds 9 --audio --midi-at 2.5:0xB0:20:64 \
        --midi-at 3.0:0xC0:1:0 --midi-at 7.0:0xB0:20:0 --print-param 23 "$plugin" \
        >"$work/out.txt" 2>&1 &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --name "Moraine Deck editor" | head -1)
    sleep 0.5
    xdotool mousemove --window "$window" 600 600 key Return
    sleep 0.2
    xdotool mousemove --window "$window" 579 60 keydown shift click 1 keyup shift
    sleep 0.3
    xdotool mousemove --window "$window" 480 289 click 1   # Midi Learn
    sleep 2.2                                              # CC 20 arrives meanwhile
    [ -z "${DIALOG_SHOTS:-}" ] || import -window root "$DIALOG_SHOTS/midimap.png"
    xdotool mousemove --window "$window" 490 554 click 1   # OK
    wait "$pid" || { cat "$work/out.txt"; fail "host exited with an error"; }
    value=$(awk '$1 == "param" && $2 == 23 { print $3 }' "$work/out.txt")
    awk -v v="$value" 'BEGIN { exit !(v != "" && v < 0.02) }' ||
        { cat "$work/out.txt"; fail "CC 20 did not move the cutoff to its minimum ($value)"; }
    ;;
*)
    fail "no case $case_name"
    ;;
esac
echo "ok: $case_name"
