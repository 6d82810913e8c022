#!/usr/bin/env bash
# Installs what is missing, builds the program and the simulator, starts the sensor simulator
# on a pseudo-terminal and the program with COM port 1 mapped to it; the simulator stops when
# the program closes. With VELTRAV20_COM1 already set (a real sensor), no simulator is started.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
BUILD_TARGETS="veltrav20 sensorsim" scripts/build.sh
bin=build/bin
if [ -n "${VELTRAV20_COM1:-}" ]; then
    echo "Starting the program on $VELTRAV20_COM1"
    exec "$bin/veltrav20"
fi
out=$(mktemp)
"$bin/sensorsim" > "$out" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 100); do [ -s "$out" ] && break; sleep 0.05; done
export VELTRAV20_COM1="$(head -n 1 "$out")"
echo "Starting the sensor simulator on $VELTRAV20_COM1 and the program (closing it stops both)"
"$bin/veltrav20"
