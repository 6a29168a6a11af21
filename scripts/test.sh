#!/usr/bin/env bash
# Builds ZARN80 and runs every test: the full build (warnings as errors), then the layers that do
# not use Qt again under AddressSanitizer + UndefinedBehaviorSanitizer, the document tests under
# ThreadSanitizer, and a bounded libFuzzer run of the session-file reader.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
export CTEST_OUTPUT_ON_FAILURE=1

configure_and_test() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DZARN_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" -j "$jobs" --timeout 600
}

echo "== full build and tests" >&2
QT_QPA_PLATFORM=offscreen configure_and_test build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo

echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer" >&2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    configure_and_test build/asan -DCMAKE_BUILD_TYPE=Debug -DZARN_CORE_ONLY=ON -DZARN_BUILD_BENCH=OFF \
    -DZARN_SANITIZE=address,undefined

echo "== document tests under ThreadSanitizer" >&2
# setarch -R turns off address randomisation, which some kernels set too high for TSan's layout.
cmake -S . -B build/tsan -G Ninja -DZARN_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZARN_CORE_ONLY=ON -DZARN_BUILD_BENCH=OFF -DZARN_SANITIZE=thread >/dev/null
cmake --build build/tsan -j "$jobs" --target document_tests
TSAN_OPTIONS=halt_on_error=1 setarch "$(uname -m)" -R ctest --test-dir build/tsan -j "$jobs" --timeout 900 \
    -L document_tests

echo "== session reader under libFuzzer (60 s)" >&2
fuzz_status=0
bash scripts/fuzz.sh 60 > build/fuzz.log 2>&1 || fuzz_status=$?
if [ "$fuzz_status" -ne 0 ]; then
    tail -n 60 build/fuzz.log >&2
    if [ "$fuzz_status" -eq 3 ]; then
        echo "the session fuzzer did not build with clang (the errors are above)" >&2
    else
        echo "the session fuzzer found a problem (input in build/fuzz/findings/)" >&2
    fi
    exit 1
fi
grep -E "stat::number_of_executed_units|Done [0-9]+ runs" build/fuzz.log >&2 || true

echo "all tests passed" >&2
