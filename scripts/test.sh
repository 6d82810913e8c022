#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the suite (ctest, two at a time,
# offscreen, with the end-to-end test in a real X window), short fuzz runs, and the whole suite
# again built with AddressSanitizer and UndefinedBehaviorSanitizer.
# FUZZ_SECONDS sets the length of each fuzz run (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test

scripts/build.sh
ctest --test-dir build -j2 --output-on-failure

BUILD_DIR=build-fuzz CC=clang CXX=clang++ scripts/build.sh -DVELTRA_FUZZ=ON
scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

BUILD_DIR=build-asan scripts/build.sh -DVELTRA_SANITIZE=ON
ctest --test-dir build-asan -j2 --output-on-failure
