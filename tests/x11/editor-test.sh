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
*)
    fail "no case $case_name"
    ;;
esac
echo "ok: $case_name"
