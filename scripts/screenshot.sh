#!/usr/bin/env bash
# Takes the pictures in docs/: the real program window under Xvfb against the sensor
# simulator, in every view (raw, norm, adjust, jumpbuf, extended page), on a 1366x768 screen
# at scale 1 (docs/panel-<view>.png) and on a screen twice as large at QT_SCALE_FACTOR=2
# (docs/panel-<view>-2x.png). Needs xvfb, xdotool and imagemagick (not part of the test
# set-up).
# Usage: scripts/screenshot.sh [output directory]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
bin=build/bin
mkdir -p "$out"

# Window coordinates at scale 1 of what is clicked, the panel at its start size of 1120x680
# below the menu bar: the source ring and the page switch.
source_ring="1070 82"
page_switch="20 326"

# shoot <scale> <suffix>: one run of the program, a picture of each view.
shoot() {
    local scale=$1 suffix=$2 tmp wid pids=()
    tmp=$(mktemp -d)
    # Stops the program first and the X server last.
    trap 'for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
              kill "${pids[i]}" 2>/dev/null || true; wait "${pids[i]}" 2>/dev/null || true
          done; rm -rf "$tmp"' RETURN
    Xvfb -displayfd 3 -screen 0 "$((1366 * scale))x$((768 * scale))x24" -nolisten tcp \
        3>"$tmp/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
    export DISPLAY=":$(head -n 1 "$tmp/display")"
    "$bin/sensorsim" >"$tmp/sim.out" &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$tmp/sim.out" ] && break; sleep 0.05; done
    QT_SCALE_FACTOR=$scale VELTRAV20_COM1="$(head -n 1 "$tmp/sim.out")" "$bin/veltrav20" &
    pids+=($!)
    wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Veltra-Razov V2.0' | head -n 1)
    sleep 2
    # The menu bar above the panel: the window is taller than 680 by its height.
    local bar=$(($(xdotool getwindowgeometry --shell "$wid" | sed -n 's/^HEIGHT=//p') / scale - 680))
    click() { xdotool mousemove --window "$wid" $(($1 * scale)) $((($2 + bar) * scale)) click 1; }
    key() { xdotool windowfocus --sync "$wid" 2>/dev/null || true; xdotool key "$@"; }
    view() { # view <item of the source ring, 0 RAW .. 2 ADJ EXT>
        click $source_ring
        sleep 0.5
        xdotool key Home
        for _ in $(seq "$1"); do xdotool key Down; done
        xdotool key Return
        sleep 0.5
    }
    snap() {
        xdotool mousemove --window "$wid" 0 0 # no hover
        sleep 0.3
        import -window "$wid" "$out/panel-$1$suffix.png"
        echo "wrote $out/panel-$1$suffix.png"
    }

    key F11
    sleep 13 # the strip chart fills with 100 samples
    snap raw
    view 1; sleep 1; snap norm
    view 2; sleep 4; snap adjust
    key F12; sleep 1.5
    key F8; sleep 3; snap jumpbuf
    view 0; click $page_switch; sleep 0.5; snap extended
}

unset QT_QPA_PLATFORM
shoot 1 ""
shoot 2 "-2x"
