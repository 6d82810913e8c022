#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, if any are missing.
# Usage: scripts/deps.sh [run|test]   (test adds what the end-to-end, sanitizer and fuzz runs use)
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev qt6-charts-dev qt6-tools-dev
          libqt6opengl6-dev libxkbcommon-dev libgl-dev)
if [ "${1:-run}" = test ]; then
    packages+=(xvfb xauth xdotool libx11-dev clang libclang-rt-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
