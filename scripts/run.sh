#!/usr/bin/env bash
# Builds everything, starts the simulated module on a pseudo-terminal and opens nodeconfig
# (or remoteconfig, with "remote" as the first argument) attached to nothing yet: type the
# printed device path into the port box and press "打开串口".
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build"

program=nodeconfig
[ "${1:-}" = "remote" ] && program=remoteconfig

pathfile=$(mktemp)
"$top/build/tools/cc2530-sim" --print-path-to "$pathfile" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -f "$pathfile"' EXIT
for _ in $(seq 50); do [ -s "$pathfile" ] && break; sleep 0.1; done
echo
echo "Simulated module on $(cat "$pathfile"): type this path into the port box of $program."
echo
"$top/build/app/$program"
