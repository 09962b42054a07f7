#!/usr/bin/env bash
# Checks the formatting of every C++ file (clang-format, Qt's style) and runs clang-tidy's
# checks (.clang-tidy) on every project source. Needs a configured build folder for clang-tidy.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cd "$top"

mapfile -t files < <(git ls-files '*.cpp' '*.h')
echo "clang-format: ${#files[@]} files"
clang-format --dry-run --Werror "${files[@]}"

mapfile -t sources < <(git ls-files '*.cpp')
echo "clang-tidy: ${#sources[@]} sources"
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${sources[@]/#/$top/}" >"$build/clang-tidy.log" 2>&1 || {
    grep -E "(warning|error):" "$build/clang-tidy.log" | sort -u | head -50
    exit 1
}
echo "clean"
