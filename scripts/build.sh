#!/usr/bin/env bash
# Configures and builds into build/ (or the folder in BUILD_DIR) with both cores: every target,
# or only those in BUILD_TARGETS. Arguments go to the configure step. The tools' output goes to
# <folder>.configure.log and <folder>.build.log; a failure prints the end of the log.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${BUILD_DIR:-build}"
read -ra targets <<< "${BUILD_TARGETS:-}"
failed() { tail -n 40 "$1" >&2; echo "$2 failed: $PWD/$1" >&2; exit 1; }
echo "Building ${BUILD_TARGETS:-everything} in $dir/ (output in $dir.build.log)"
start=$SECONDS
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$dir.configure.log" 2>&1 ||
    failed "$dir.configure.log" "configuring $dir/"
cmake --build "$dir" -j2 ${targets[@]+--target "${targets[@]}"} > "$dir.build.log" 2>&1 ||
    failed "$dir.build.log" "building in $dir/"
warnings=$(grep -c 'warning:' "$dir.build.log" || true)
note=""
[ "$warnings" -eq 0 ] || note=", $warnings compiler warnings (see the log)"
echo "  built in $((SECONDS - start)) s$note"
