#!/usr/bin/env bash
# Installs what is missing, builds and runs every test (ctest, two at a time, offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
scripts/build.sh
QT_QPA_PLATFORM=offscreen ctest --test-dir build -j2 --output-on-failure
