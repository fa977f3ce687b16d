#!/usr/bin/env bash
# Checks the sources' form (clang-format, shellcheck, the PowerShell parse, the PowerShell files
# against Windows PowerShell 5.1, the generated module reference), then builds and runs every
# test: the README's first command and the normal build's tests in a fresh clone, a normal
# build and, against it, the Pester tests of the PowerShell module and the fleet scripts; one with
# AddressSanitizer and UndefinedBehaviorSanitizer, the black-box suite under valgrind, the
# fuzzers for a bounded time, the Windows build under Wine with its packages, the fleet
# scripts run as the engines run them against the files of the Windows build's MSI, and the
# Pester tests again under a Windows build of PowerShell.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure
}

# The README's first command, as a new user runs it: in a clone of the commit under test in an
# empty folder, with nothing beside it; then the normal build's tests in that clone, which read
# nothing outside it either. Uncommitted changes are not in the clone.
fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
fresh_clone() {
  local command
  command=$(awk '/^# Build the tool and list/ { getline; print; exit }' README.md)
  [ -n "$command" ] || { echo "README.md has no first command"; return 1; }
  git clone -q "$PWD" "$fresh/clone"
  # HEAD as this checkout has it, also when it is on no branch.
  git -C "$fresh/clone" fetch -q origin HEAD
  git -C "$fresh/clone" checkout -q --detach FETCH_HEAD
  echo "\$ $command"
  (cd "$fresh/clone" && bash -euo pipefail -c "$command" >"$fresh/first.out")
  tail -n 1 "$fresh/first.out"
  grep -qx "get config command success" "$fresh/first.out"
  (cd "$fresh/clone" && run_suite build)
}

echo "== format: clang-format, shellcheck, the PowerShell parse and the 5.1 gate, the module reference"
scripts/check-format.sh build
echo "== the README's first command and the normal build's tests in a fresh clone"
fresh_clone
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
echo "== fleet scripts as the engines run them, 64-bit and 32-bit hosts, on the MSI's files"
scripts/test-engines.sh build build-windows
echo "== PowerShell module and fleet scripts (Pester, Windows PowerShell 7 under Wine)"
scripts/test-windows-powershell.sh
