#!/usr/bin/env bash
# Installs what is missing, builds and runs every test, in four stages: the suite (ctest, two at
# a time, offscreen, with the end-to-end test in a real X window), short fuzz runs, the whole
# suite again built with AddressSanitizer and UndefinedBehaviorSanitizer, and the package
# check. Every stage runs even when an earlier one fails; the last line counts the stages,
# "N passed, M failed", and the exit status is non-zero when any failed.
# FUZZ_SECONDS sets the length of each fuzz run (default 30).
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test || exit 1

Suite() { scripts/build.sh && ctest --test-dir build -j2 --output-on-failure; }
Fuzzing() {
    BUILD_DIR=build-fuzz BUILD_TARGETS="fuzz_parafile fuzz_replies" CC=clang CXX=clang++ \
        scripts/build.sh -DVELTRA_FUZZ=ON && scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
}
Sanitizers() {
    BUILD_DIR=build-asan scripts/build.sh -DVELTRA_SANITIZE=ON &&
        ctest --test-dir build-asan -j2 --output-on-failure
}
Package() { scripts/package.sh; }

stages=("suite:Suite" "fuzzing:Fuzzing" "sanitizer suite:Sanitizers" "package:Package")
passed=0
failed=0
summary=()
for i in "${!stages[@]}"; do
    name=${stages[i]%%:*}
    echo
    echo "=== Stage $((i + 1)) of ${#stages[@]}: $name ==="
    start=$SECONDS
    if ${stages[i]#*:}; then
        result=passed
        passed=$((passed + 1))
    else
        result=FAILED
        failed=$((failed + 1))
    fi
    summary+=("$(printf '  %-16s %-7s %4d s' "$name" "$result" $((SECONDS - start)))")
done
echo
echo "=== Summary (stages) ==="
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
