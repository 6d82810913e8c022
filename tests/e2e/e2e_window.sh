#!/usr/bin/env bash
# End to end in a real X window (Xvfb): the installed program against the simulator, driven by
# real keys (F8-F12, F10 held, the close request): the frames byte for byte, the window title,
# exit code 0; 77 without X.
# Usage: e2e_window.sh <build dir> <wmclose program>
set -u
build=$1 wmclose=$2 tmp=$(mktemp -d) pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- simulator log:"; cat "$tmp/sim.log" 2>/dev/null; exit 1; }
poll_until() { for _ in $(seq 200); do "$@" && return 0; sleep 0.05; done; return 1; } # 10 s

for t in Xvfb xdotool; do command -v $t >/dev/null || { echo "SKIP: no $t"; exit 77; }; done

cmake --install "$build" --prefix "$tmp/usr" >/dev/null || fail "cmake --install"
prog="$tmp/usr/bin/veltrav20" sim="$tmp/usr/bin/veltrav20-sensorsim"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.err" &
pids+=($!)
poll_until [ -s "$tmp/display" ] || { echo "SKIP: no X server"; cat "$tmp/xvfb.err"; exit 77; }
export DISPLAY=":$(head -n 1 "$tmp/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

"$sim" --log "$tmp/sim.log" >"$tmp/sim.out" & pids+=($!)
poll_until [ -s "$tmp/sim.out" ]
export VELTRAV20_COM1="$(head -n 1 "$tmp/sim.out")"
[ -n "$VELTRAV20_COM1" ] || fail "the simulator did not start"

"$prog" >"$tmp/prog.out" 2>&1 & prog_pid=$! && pids+=($prog_pid)
wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Veltra-Razov V2.0' | head -n 1)
[ -n "$wid" ] || fail "no program window"
title=$(xdotool getwindowname "$wid")
[[ $title == *"COM 1"*"$VELTRAV20_COM1"* ]] || fail "the title does not name the device: $title"

frames() { cut -d' ' -f2- "$tmp/sim.log" 2>/dev/null; }
count() { frames | grep -c "^55 $1 " ; }
frames_in() { [ "$(count "$1")" -ge "$2" ]; }
wait_for() { poll_until frames_in "$1" "$2" || fail "expected $2 frame(s) of command $1"; }
key() { xdotool windowfocus --sync "$wid" 2>/dev/null; xdotool key "$1"; }
last() { frames | grep "^55 $1 " | tail -n 1; }
replied() { sleep 0.3; } # a command given while a reply is awaited is refused
zeros="00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
ram="50 64 0a 00 14 00 1e 05 04 00 05 00 00 00 00"    # the simulator's parameter set
panel="50 64 0b 00 14 00 1e 05 04 00 05 00 00 00 00"  # read back at 78 %: the packet from F9 on

# Start-up: the line check, then the RAM read, both with the packet still empty.
wait_for 03 1
[ "$(frames | head -n 2 | tr '\n' '|')" = "55 07 $zeros|55 03 $zeros|" ] || fail "start-up frames"

# A key, then the frame it sends: command $2, the $3-th, carrying $4.
sent() {
    key "$1"; wait_for "$2" "$3"; replied
    [ "$(last "$2")" = "55 $2 $4" ] || fail "$1 frame $2"
}
sent F10 03 2 "$ram"
sent F9 01 1 "$panel"
sent F11 05 5 "$panel"
key F12; sleep 0.5
n=$(count 05); sleep 0.5
[ "$(count 05)" = "$n" ] || fail "polling went on after F12 Stop"
sent F8 06 1 "$panel"

# F10 held down: the key repeats, the read runs once, and no TIMEOUT popup comes.
n=$(count 03)
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool keydown F10; sleep 1.5; xdotool keyup F10
sleep 0.5
[ "$(count 03)" = $((n + 1)) ] || fail "F10 held for 1.5 s sent $(($(count 03) - n)) read commands"
xdotool search --onlyvisible --name '^INFO$' >/dev/null 2>&1 && fail "a popup after F10 held"

kill -0 "$prog_pid" 2>/dev/null || fail "the program died"
"$wmclose" "$wid"
ended() { ! kill -0 "$prog_pid" 2>/dev/null; }
poll_until ended || fail "the program did not end on the close request"
wait "$prog_pid"; status=$?
[ "$status" = 0 ] || { cat "$tmp/prog.out"; fail "exit status $status"; }
echo "PASS: $(wc -l < "$tmp/sim.log") frames checked in a real window"
