#!/usr/bin/env bash
# Runs each fuzz target (built in build-fuzz with -DVELTRA_FUZZ=ON) for the given seconds,
# starting from the seed corpus in tests/fuzz/corpus and a working corpus in build-fuzz/corpus.
# A crash, a sanitizer finding or a leak fails the run and leaves its input in
# build-fuzz/findings. The targets' temporary files go to a folder removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
export QT_QPA_PLATFORM=offscreen
export TMPDIR="$(mktemp -d)"
trap 'rm -rf "$TMPDIR"' EXIT
mkdir -p build-fuzz/findings
failed=0
for target in parafile replies; do
    work="build-fuzz/corpus/$target"
    mkdir -p "$work"
    echo "fuzz_$target: $seconds s"
    status=0
    build-fuzz/bin/fuzz_$target -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/findings/ "$work" "tests/fuzz/corpus/$target" \
        > "build-fuzz/fuzz_$target.log" 2>&1 || status=$?
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY' \
        "build-fuzz/fuzz_$target.log" || true
    if [ "$status" -ne 0 ]; then
        echo "fuzz_$target found a fault: build-fuzz/fuzz_$target.log"
        failed=1
    fi
done
exit $failed
