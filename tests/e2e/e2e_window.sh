#!/usr/bin/env bash
# End to end in a real X window: installs the program into a temporary prefix, starts an X
# server (Xvfb), the sensor simulator and the installed program, and drives it as an operator
# would, with real key presses and clicks: F10 Get, F9 Send, the EEPROM toggle, F11 Go, F12
# Stop, F8 GetBuff, F10 held down for 1.5 s, a right click whose help popup is closed with a
# key press, the Help menu opened with Alt+H, and the window manager's close request. Checks
# the frames in the simulator's log byte for byte, the device in the window title, and that
# the program ends with 0; prints how soon the read frame follows F10 and a click on Get.
# Exits 77 (skipped) when no X server can be started.
# Usage: e2e_window.sh <build dir> <wmclose program>
set -u
build=$1
wmclose=$2
tmp=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- simulator log:"; cat "$tmp/sim.log" 2>/dev/null; exit 1; }

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

cmake --install "$build" --prefix "$tmp/usr" >/dev/null || fail "cmake --install"
prog="$tmp/usr/bin/veltrav20"
sim="$tmp/usr/bin/veltrav20-sensorsim"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.err" &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
[ -s "$tmp/display" ] || { echo "SKIP: no X server could be started"; cat "$tmp/xvfb.err"; exit 77; }
export DISPLAY=":$(head -n 1 "$tmp/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

"$sim" --log "$tmp/sim.log" >"$tmp/sim.out" &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/sim.out" ] && break; sleep 0.05; done
export VELTRAV20_COM1="$(head -n 1 "$tmp/sim.out")"
[ -n "$VELTRAV20_COM1" ] || fail "the simulator did not start"

"$prog" >"$tmp/prog.out" 2>&1 &
prog_pid=$!
pids+=($prog_pid)
wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Veltra-Razov V2.0' | head -n 1)
[ -n "$wid" ] || fail "no program window"
case "$(xdotool getwindowname "$wid")" in
*"COM 1"*"$VELTRAV20_COM1"*) ;;
*) fail "the window title does not name the device: $(xdotool getwindowname "$wid")" ;;
esac

# The menu bar stands above the panel, which grows by its height from the panel file's 680:
# the clicks below, at places in the panel, move down by as much.
height=$(xdotool getwindowgeometry --shell "$wid" | sed -n 's/^HEIGHT=//p')
bar=$(( ${height:-680} - 680 ))

frames() { cut -d' ' -f2- "$tmp/sim.log" 2>/dev/null; }
count() { frames | grep -c "^55 $1 " ; }
# Waits until the log holds at least $2 frames of command $1.
wait_for() {
    for _ in $(seq 200); do [ "$(count "$1")" -ge "$2" ] && return 0; sleep 0.05; done
    fail "expected $2 frame(s) of command $1"
}
key() { xdotool windowfocus --sync "$wid" 2>/dev/null; xdotool key "$1"; }
click() { xdotool mousemove --window "$wid" "$1" $(( $2 + bar )) click "$3"; }
last() { frames | grep "^55 $1 " | tail -n 1; }
# Lets the reply to the frame just logged come in: a command given while an exchange waits
# for its reply is refused.
replied() { sleep 0.3; }
zeros="00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
ram="50 64 0a 00 14 00 1e 05 04 00 05 00 00 00 00"    # the simulator's parameter set
panel="50 64 0b 00 14 00 1e 05 04 00 05 00 00 00 00"  # the same shown and read back (78 %)

# Start-up: the line check, then the RAM read, both with the packet still empty.
wait_for 03 1
[ "$(frames | head -n 2 | tr '\n' '|')" = "55 07 $zeros|55 03 $zeros|" ] || fail "start-up frames"

key F10; wait_for 03 2; replied
[ "$(last 03)" = "55 03 $ram" ] || fail "F10 Get frame"
key F9; wait_for 01 1
[ "$(last 01)" = "55 01 $panel" ] || fail "F9 Send frame"

click 145 375 1   # the EEPROM toggle
key F10; wait_for 04 1; replied
[ "$(last 04)" = "55 04 $panel" ] || fail "Get from EEPROM frame"
click 52 375 1    # back to RAM

key F11; wait_for 05 5
[ "$(last 05)" = "55 05 $ram" ] || fail "F11 Go frame"
key F12; sleep 0.5
n=$(count 05); sleep 0.5
[ "$(count 05)" = "$n" ] || fail "polling went on after F12 Stop"

key F8; wait_for 06 1; replied
[ "$(last 06)" = "55 06 $ram" ] || fail "F8 GetBuff frame"

# F10 held down: the key repeats, the read runs once, and no TIMEOUT popup comes.
n=$(count 03)
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool keydown F10; sleep 1.5; xdotool keyup F10
sleep 0.5
[ "$(count 03)" = $((n + 1)) ] || fail "F10 held for 1.5 s sent $(($(count 03) - n)) read commands"
xdotool search --onlyvisible --name '^INFO$' >/dev/null 2>&1 && fail "a popup after F10 held"

# Milliseconds from an xdotool action (the arguments) to the next frame in the log.
frame_delay() {
    local n t0 t1
    n=$(wc -l < "$tmp/sim.log")
    t0=${EPOCHREALTIME/./}
    xdotool "$@"
    while [ "$(wc -l < "$tmp/sim.log")" -le "$n" ]; do
        t1=${EPOCHREALTIME/./}
        [ $((t1 - t0)) -lt 5000000 ] || fail "no frame after xdotool $*"
    done
    t1=${EPOCHREALTIME/./}
    echo $(((t1 - t0) / 1000))
}
after_key=() after_click=()
for _ in 1 2 3; do
    xdotool windowfocus --sync "$wid" 2>/dev/null; sleep 0.3
    after_key+=("$(frame_delay key F10)")
    xdotool mousemove --window "$wid" 215 $((405 + bar)); sleep 0.3   # over the Get button
    after_click+=("$(frame_delay click 1)")
done
min() { printf '%s\n' "$@" | sort -n | head -n 1; }
echo "read frame after F10: ${after_key[*]} ms; after a click on Get: ${after_click[*]} ms"
# The settle wait (0.1 s) is in both; a shortcut that animated the button would add 100 ms.
[ "$(min "${after_key[@]}")" -le $(($(min "${after_click[@]}") + 50)) ] ||
    fail "F10 commits later than a click"

before=$(wc -l < "$tmp/sim.log")
click 220 89 3    # right click on the threshold input
info=$(timeout 10 xdotool search --sync --onlyvisible --name '^Info$' | head -n 1)
[ -n "$info" ] || fail "no help popup after the right click"
xdotool windowfocus --sync "$info" 2>/dev/null; xdotool key Return
for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^Info$' >/dev/null 2>&1 || break
    sleep 0.05
done
xdotool search --onlyvisible --name '^Info$' >/dev/null 2>&1 && fail "the help popup stayed open"
[ "$(wc -l < "$tmp/sim.log")" = "$before" ] || fail "the right click sent a frame"

# The Help menu from the keyboard: its first item shows the shortcuts; nothing is sent.
xdotool windowfocus --sync "$wid" 2>/dev/null; xdotool key alt+h; sleep 0.3; xdotool key Return
keys=$(timeout 10 xdotool search --sync --onlyvisible --name '^Keyboard shortcuts$' | head -n 1)
[ -n "$keys" ] || fail "no shortcuts popup from the Help menu"
xdotool windowfocus --sync "$keys" 2>/dev/null; xdotool key Return
[ "$(wc -l < "$tmp/sim.log")" = "$before" ] || fail "the Help menu sent a frame"

kill -0 "$prog_pid" 2>/dev/null || fail "the program died"
"$wmclose" "$wid"
for _ in $(seq 200); do kill -0 "$prog_pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$prog_pid" 2>/dev/null && fail "the program did not end on the close request"
wait "$prog_pid"
status=$?
[ "$status" = 0 ] || { cat "$tmp/prog.out"; fail "exit status $status"; }
echo "PASS: $(wc -l < "$tmp/sim.log") frames checked in a real window"
