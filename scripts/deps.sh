#!/usr/bin/env bash
# Installs the Debian 12 packages a step needs, if any are missing, as root or through sudo.
# apt's and dpkg's output goes to build.apt.log; one line per step is printed.
# Usage: scripts/deps.sh [run|test|package]
#   run: building the program; package: adds the packaging tools; test: adds what the
#   end-to-end, sanitizer, fuzz and package runs use.
set -euo pipefail
cd "$(dirname "$0")/.."
build=(cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev qt6-charts-dev qt6-tools-dev
       libqt6opengl6-dev libxkbcommon-dev libgl-dev)
packaging=(file dpkg-dev)
case "${1:-run}" in
    run) packages=("${build[@]}") ;;
    package) packages=("${build[@]}" "${packaging[@]}") ;;
    test) packages=("${build[@]}" "${packaging[@]}" xvfb xauth xdotool libx11-dev clang
                    libclang-rt-14-dev) ;;
    *) echo "usage: scripts/deps.sh [run|test|package]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null || ! sudo -v; then
        echo "Cannot install packages: this needs root or sudo. As root, run:" \
             "apt-get install ${missing[*]}" >&2
        exit 1
    fi
    sudo=(sudo)
fi
log="$PWD/build.apt.log"
: > "$log"
apt() { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@" >> "$log" 2>&1; }
failed() { tail -n 15 "$log" >&2; echo "apt-get $1 failed; its output: $log" >&2; exit 1; }
start=$SECONDS
echo "Installing ${#missing[@]} packages with apt (output in $log):"
echo "  updating the package lists"
apt update || failed update
echo "  installing ${missing[*]}"
apt install -y --no-install-recommends "${missing[@]}" || failed install
echo "  done in $((SECONDS - start)) s"
