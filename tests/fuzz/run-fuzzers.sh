#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ (clang 14, ASan + UBSan) and runs each for the
# given number of seconds (default 60), starting from its seed corpus. Fails on the first
# crash, leak, sanitizer report or broken invariant; the input is left in build-fuzz/.
# Extra arguments go to every fuzzer, e.g. "0 -runs=10000000": no time limit, ten million
# inputs each.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
shift || true
build=${FUZZ_BUILD_DIR:-$top/build-fuzz}

if ! command -v clang++-14 >/dev/null; then
    "$top/scripts/install-deps.sh" --fuzz
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCC2530_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer" \
    >/dev/null
cmake --build "$build" --target fuzzers -j 2

# ASan's default quarantine of freed memory grows a fuzzer's resident size by gigabytes over
# millions of inputs (no leak: it stays flat with the quarantine off); 64 MB keeps it bounded.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:quarantine_size_mb=64"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# FUZZ_TARGETS picks some of them, as in FUZZ_TARGETS="fuzz_rxlog fuzz_digiapi".
read -r -a targets <<<"${FUZZ_TARGETS:-fuzz_deviceinfo fuzz_remoteframe fuzz_parameterwrites fuzz_digiapi fuzz_rxlog}"
for target in "${targets[@]}"; do
    work="$build/fuzz-work/$target"
    mkdir -p "$work/corpus"
    echo "== $target =="
    # New inputs go to the work corpus; the seeds in the source tree stay as they are. A crash
    # leaves its input as crash-* in the work folder.
    status=0
    (cd "$work" && "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 \
        -rss_limit_mb=4096 -print_final_stats=1 "$@" corpus "$top/tests/fuzz/corpus/$target") \
        >"$work/last-run.log" 2>&1 || status=$?
    grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)' \
        "$work/last-run.log" || true
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$work/last-run.log" >&2
        echo "$target: crash (exit $status), see $work/last-run.log" >&2
        exit 1
    fi
done
echo "all fuzzers ran without a crash"
