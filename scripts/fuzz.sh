#!/usr/bin/env bash
# Builds the session-file fuzzer with clang (AddressSanitizer, UndefinedBehaviorSanitizer) in
# build/fuzz and runs it for a bounded time. Exits non-zero when it finds a crash, a leak, a
# time-out or an input that uses too much memory; the input is left in build/fuzz/findings/.
# Exits with 3 when the fuzzer does not build.
#
#   scripts/fuzz.sh [SECONDS] [more libFuzzer options]     (SECONDS defaults to 60)
#
# The corpus starts from tests/data/golden-hex.session and a fresh session of every stored family
# and grows in build/fuzz/corpus between runs. Keep a finding as a regression input in
# tests/data/session-regressions/ (with the .session extension) once it is mended.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
seconds=${1:-60}
shift || true

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="${CXX:-clang++}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARN_FUZZ=ON -DZARN_CORE_ONLY=ON -DZARN_WERROR=ON \
    -DZARN_BUILD_TESTS=OFF -DZARN_BUILD_BENCH=OFF >/dev/null
# A fuzzer that does not build is not a finding: exit 3 so that the caller can tell the two apart.
cmake --build "$build" --target session_fuzz session_seeds -j "${JOBS:-2}" || exit 3

corpus="$build/corpus"
mkdir -p "$corpus" "$build/findings"
ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/session_seeds" "$corpus"
cp "$root/tests/data/golden-hex.session" "$corpus/"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
exec "$build/fuzz/session_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -max_len=65536 -artifact_prefix="$build/findings/" -print_final_stats=1 "$@" "$corpus"
