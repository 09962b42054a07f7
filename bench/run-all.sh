#!/usr/bin/env bash
# Builds the benchmarks (Release) into the folder given as the first argument (default
# build-bench/) and runs them all, offscreen; prints one markdown table. Takes about 15 minutes;
# BENCH_QUICK=1 shortens every scenario. The programs' debug output goes to <build>/bench-logs/.
# Exits with 1 when a benchmark found a fault (a worker spinning on a dead line).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target benchmarks -j "$(nproc)" >/dev/null

logs=$build/bench-logs
mkdir -p "$logs"
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "Machine: $(nproc) CPUs, ${cpu:-unknown CPU}, Linux $(uname -r); $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Build: Release, $build; load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo '| Figure | Program | Measured (median) | Target | Result | Notes |'
echo '|---|---|---|---|---|---|'
status=0
for program in nodeconfig remoteconfig cc2530ctl station remote; do
    "$build/bench/bench_$program" 2>"$logs/$program.log" || status=1
done
echo
echo "Load average after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
# A fault row (the idle CPU after a hang-up) that missed its target fails the run.
grep -h '^FAULT: ' "$logs"/*.log >&2 || true
exit "$status"
