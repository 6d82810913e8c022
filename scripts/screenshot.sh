#!/usr/bin/env bash
# Takes docs/panel.png: the real program window under Xvfb against the sensor simulator,
# polling in the NORM view. Needs xvfb, xdotool and imagemagick (not part of the test set-up).
# Usage: scripts/screenshot.sh [output file]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/panel.png}
bin=build/bin
tmp=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$tmp"' EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n 1 "$tmp/display")"
unset QT_QPA_PLATFORM
"$bin/sensorsim" >"$tmp/sim.out" &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/sim.out" ] && break; sleep 0.05; done
VELTRAV20_COM1="$(head -n 1 "$tmp/sim.out")" "$bin/veltrav20" &
pids+=($!)
wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Veltra-Razov V2.0$' | head -n 1)
sleep 1
# The menu bar stands above the panel file's controls: their places move down by its height.
bar=$(( $(xdotool getwindowgeometry --shell "$wid" | sed -n 's/^HEIGHT=//p') - 632 ))
xdotool mousemove --window "$wid" 822 $(( 89 + bar )) click 1   # the source ring: NORM
sleep 0.5
xdotool key Down Return
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key F11
sleep 14   # the strip chart fills with 100 samples
import -window "$wid" "$out"
echo "wrote $out"
