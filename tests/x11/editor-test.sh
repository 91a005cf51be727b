#!/usr/bin/env bash
# The editor under virtual X servers, driven through the test host as a Linux host drives it.
# Every case gets an X server of its own (Xvfb picks a free display), and the cases of a group
# run at once; so groups need no lock and run alongside the rest of the suite.
# Usage: editor-test.sh sessions|panel|dialogs MORAINE-HOST PLUGIN.so
set -euo pipefail
group="$1" host="$2" plugin="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Sanitizer builds: what the plug-in keeps for the process on purpose is not a leak.
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

fail() {
    echo "FAILED ($case_name): $*" >&2
    [ ! -f "$dir/out.txt" ] || sed "s/^/  | /" "$dir/out.txt" >&2
    exit 1
}

# Polls a command for up to 20 s instead of sleeping.
wait_for() {
    local what="$1" end=$((SECONDS + 20))
    shift
    until "$@"; do ((SECONDS < end)) || fail "timed out waiting for $what"; sleep 0.05; done
}

run() { "$host" --editor "$@" "$plugin" >"$dir/out.txt" 2>&1 || fail "host exited with $?"; }
expect() { grep -q "$1" "$dir/out.txt" || fail "no '$1'"; }
session_ran() { expect "editor rectangle 1010 x 623"; expect "editor session done"; }

# The host in the background until close_editor, its panel drawn and any message box
# (missing art) answered. With no window manager keys reach the window under the pointer.
open_editor() {
    "$host" --editor --seconds 60 --stop-file "$dir/stop" "$@" "$plugin" >"$dir/out.txt" 2>&1 &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --name "Moraine Deck editor" | head -1)
    wait_for "the panel" drawn
    xdotool mousemove --window "$window" 600 600 key Return
}
close_editor() {
    touch "$dir/stop"
    wait "$pid" || fail "host exited with an error"
}
drawn() { [ "$(pixel 600 600)" != "0 0 0" ]; }
# The screen as a file (Xvfb -fbdir): 32-bit pixels after the header and colour map.
pixel() {
    local b g r
    read -r b g r < <(od -An -tu1 -j $((fb_start + ($2 * 1280 + $1) * 4)) -N3 "$fb")
    echo "$r $g $b"
}
# The screen below the top strip, whose meters and MIDI light move by themselves.
screen() { tail -c +$((fb_start + 25 * 1280 * 4 + 1)) "$fb" | md5sum; }
# An xdotool gesture, then waits until the panel shows its effect and settles (what it
# opens may appear an idle later).
act() {
    local before
    before=$(screen)
    xdotool "$@"
    wait_for "an effect of: $*" eval '[ "$(screen)" != "$before" ]'
    settle
}
settle() {
    local last="" now same=0 end=$((SECONDS + 20))
    while ((same < 3)); do
        ((SECONDS < end)) || fail "the panel kept changing"
        sleep 0.1
        now=$(screen)
        if [ "$now" = "$last" ]; then ((++same)); else same=0; fi
        last=$now
    done
}
at() { echo mousemove --window "$window" "$1" "$2"; }
grey() { awk '{ exit !($1 == $2 && $2 == $3 && $1 >= 100 && $1 <= 170) }' <<<"$1"; }
shot_pixel() {
    convert "$dir/window.png" -crop "1x1+$1+$2" \
        -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:
}

# ---- cases that only watch ----
case_profile() { run --profile "$1" --seconds 1 --automate --audio && session_ran; }
case_bad_parent() {
    run --bad-parent --seconds 0.2
    expect "effEditOpen refused the parent window"
}
case_cycles() { run --profile juce --cycles 50 --seconds 0.05; }
case_left_open() { run --profile ardour --seconds 0.5 --automate --leave-open; }
case_instances() { run --profile carla --instances 8 --seconds 1 --automate; }
case_flood() { run --profile ardour --flood 10000 --audio --seconds 2; }
# The window shows exactly the offscreen image.
case_pixels() {
    MORAINE_PANEL_DUMP="$dir/offscreen.png" run --profile carla --seconds 1 --screenshot "$dir/window.png"
    local differing
    differing=$(compare -metric AE "$dir/offscreen.png" "$dir/window.png" null: 2>&1 || true)
    [ "$differing" = "0" ] || fail "window and offscreen image differ in $differing pixels"
}
# A note from the host's MIDI (C, two octaves up) lights its key's lower part and sounds.
key_x=$((258 + 24 * 734 / 60 + 8)) key_y=590
key_lit() { [ "$(pixel "$key_x" "$key_y")" = "204 51 51" ]; }
check_key() {
    local lit peak
    lit=$(shot_pixel "$key_x" "$key_y")
    [ "$lit" = "204 51 51" ] || fail "key 60 is not lit (pixel $lit)"
    peak=$(awk '$1 == "audio" && $2 == "peak" { print $3 }' "$dir/out.txt")
    awk -v p="$peak" 'BEGIN { exit !(p > 0.01) }' || fail "nothing sounded (peak $peak)"
}
case_key_midi() {
    open_editor --profile carla --audio --note 60 --screenshot "$dir/window.png"
    wait_for "key 60 lit" key_lit
    close_editor
    check_key
}
# The X server dies while the editor is open: the editor stops drawing, the host lives.
case_server_gone() {
    open_editor --profile carla --automate
    kill "$server"
    wait "$server" || true # gone: the editor meets the closed connection on its next idle
    close_editor
    expect "connection of the editor was lost"
    expect "editor session done"
}

# ---- cases that use the pointer and keys ----

# A pointer drag on the "Envelope Follower" slider, then a cord from the first oscillator's
# sawtooth output to the mixer override input, pulled out and plugged again; the instrument
# then plays that oscillator alone. The bare circuit: the first sound has cords on that
# output, and a press on a plugged jack would pick them up.
plug() {
    local path=() step
    for step in 1 2 3 4 5 6; do path+=($(at $((237 + step * 115)) $((163 - step * 9)))); done
    xdotool $(at 237 163) mousedown 1 "${path[@]}" $(at 929 107) mouseup 1
}
# The cord's lowest point between the two jacks.
cord_shown() { grey "$(pixel 546 270)"; }
case_slider_and_cord() {
    open_editor --profile ardour --print-edits --unplug --render-after 1 --screenshot "$dir/window.png"
    xdotool $(at 32 205) mousedown 1 $(at 32 225) $(at 32 240) mouseup 1
    plug
    wait_for "the cord drawn" cord_shown
    xdotool $(at 929 107) mousedown 1 $(at 700 250) $(at 500 250) mouseup 1
    wait_for "the cord gone" eval '! cord_shown'
    plug
    close_editor
    local out="$dir/out.txt" first last hz cord
    first=$(awk '$2 == "a" && $3 == 2 { print $4; exit }' "$out")
    last=$(awk '$2 == "a" && $3 == 2 { v = $4 } END { print v }' "$out")
    awk -v f="$first" -v l="$last" 'BEGIN { exit !(f > 0.999 && l > 0.44 && l < 0.48) }' ||
        fail "automation went $first .. $last"
    # Begin before every automate call, end after the last.
    awk '$2 == "b" && $3 == 2 { b = NR } $2 == "a" && $3 == 2 { if (!b) bad = 1; a = NR }
         $2 == "e" && $3 == 2 { e = NR } END { exit !(b && e > a && !bad) }' "$out" ||
        fail "gesture out of order"
    # Plugged, pulled out, plugged again.
    cord=$(awk '$2 == "a" && $3 == 161 && $4 != v { v = $4; printf "%s ", v }' "$out")
    [ "$cord" = "0.0580 0.0000 0.0580 " ] || fail "the mixer override input's automation went '$cord'"
    # Coarse 2 V with the keyboard at rest (0 V less its 1 V offset): 10 Hz x 2^(2 - 1).
    hz=$(awk '$1 == "render" { print $2 }' "$out")
    awk -v f="$hz" 'BEGIN { exit !(f > 19.8 && f < 20.2) }' || fail "rendered $hz Hz, not 20 Hz"
    grey "$(shot_pixel 546 270)" || fail "no cord in the screenshot"
}
case_key_click() {
    open_editor --profile carla --audio --screenshot "$dir/window.png"
    xdotool mousemove --window "$window" "$key_x" "$key_y" mousedown 1
    wait_for "key 60 lit" key_lit
    close_editor
    xdotool mouseup 1
    check_key
}

# Save as: a name typed into the in-panel field, OK, and the patch is on disk.
case_save_as() {
    open_editor --profile ardour
    act $(at 438 11) click 1 # the save-as button
    act $(at 470 245) click 1 # the name field
    act type "Xvfb Lead"
    act key Return # ends the field and asks whether to take the first sound's MIDI number
    xdotool key Return # yes
    wait_for "a patch file named Xvfb Lead" \
        eval 'grep -rlq "Xvfb Lead" "$MORAINE_DATA_DIR" --include="*.qix"'
    close_editor
}
# Shift-click the cutoff, tick learn, CC 20 from the host, OK: CC 20 moves the cutoff.
case_learn() {
    local midi=() t # CC 20 at 0 every 0.2 s
    for ((t = 1; t < 150; ++t)); do midi+=(--midi-at "$((t / 5)).$((t % 5 * 2)):0xB0:20:0"); done
    open_editor --profile ardour --audio --print-param 23 "${midi[@]}"
    act $(at 579 60) keydown shift click 1 keyup shift
    act $(at 480 289) click 1 # Midi Learn: takes the last controller
    act $(at 490 554) click 1 # OK
    sleep 0.5 # two more controller messages
    close_editor
    local value=$(awk '$1 == "param" && $2 == 23 { print $3 }' "$dir/out.txt")
    awk -v v="$value" 'BEGIN { exit !(v != "" && v < 0.02) }' ||
        fail "CC 20 did not move the cutoff to its minimum ($value)"
}

# Starts a case in the background on an X server of its own with its own data and home.
start_case() {
    local name="$1" depth="$2"
    shift 2
    (
        case_name="$name" dir="$work/$name"
        mkdir -p "$dir/data" "$dir/home"
        export MORAINE_DATA_DIR="$dir/data" HOME="$dir/home"
        Xvfb -displayfd 3 -screen 0 "1280x1024x$depth" -fbdir "$dir" -nolisten tcp 3>"$dir/display" 2>/dev/null &
        server=$! pid=""
        trap 'kill $pid "$server" 2>/dev/null || true' EXIT
        wait_for "the X server" test -s "$dir/display"
        export DISPLAY=":$(cat "$dir/display")"
        fb="$dir/Xvfb_screen0"
        local h=($(od -An -tu4 --endian=big -N80 "$fb"))
        fb_start=$((h[0] + h[19] * 12))
        "$@"
        echo "ok: $name"
    ) &
    cases+=($!)
}

cases=()
case "$group" in
sessions)
    for profile in ardour qtractor carla juce; do start_case "profile-$profile" 24 case_profile "$profile"; done
    start_case depth16 16 case_profile juce
    start_case bad-parent 24 case_bad_parent
    start_case cycles 24 case_cycles
    start_case left-open 24 case_left_open
    start_case instances 24 case_instances
    start_case flood 24 case_flood
    start_case pixels 24 case_pixels
    start_case key-midi 24 case_key_midi
    start_case server-gone 24 case_server_gone
    ;;
panel)
    start_case slider-and-cord 24 case_slider_and_cord
    start_case key-click 24 case_key_click
    ;;
dialogs)
    start_case save-as 24 case_save_as
    start_case learn 24 case_learn
    ;;
*)
    case_name="$group" dir="$work"
    fail "no group $group"
    ;;
esac
status=0
for c in "${cases[@]}"; do wait "$c" || status=1; done
exit "$status"
