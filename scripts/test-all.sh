#!/usr/bin/env bash
# Builds and runs every test: a normal build and, against it, the Pester tests of the
# PowerShell module and the fleet scripts; one with AddressSanitizer and
# UndefinedBehaviorSanitizer, the black-box suite under valgrind, the fuzzers for a bounded
# time, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure
}

echo "== normal build"
run_suite build
echo "== PowerShell module and fleet scripts (Pester, PowerShell 7)"
scripts/test-powershell.sh build
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DVELORIN_SANITIZE=ON
echo "== black-box suite under valgrind memcheck"
VALGRIND_TOOL=build/VelorinBiosConfigTool scripts/valgrind-blackbox.sh
echo "== fuzzers"
scripts/run-fuzzers.sh
echo "== Windows build under Wine"
scripts/test-windows.sh
