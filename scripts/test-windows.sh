#!/usr/bin/env bash
# Builds the Windows executables with MinGW-w64 and proves them under Wine: the Windows unit
# tests, the black-box suite against VelorinBiosConfigTool-sim.exe, the release executable on
# a machine without the Velorin provider, and the zip package.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}
win=build-windows
blackbox=build-wine-blackbox

command -v x86_64-w64-mingw32-g++ >/dev/null && command -v wine >/dev/null || {
  echo "mingw-w64 and wine64 are needed: scripts/install-deps.sh installs them"; exit 1; }

echo "== Windows build (MinGW-w64)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

# A private prefix, so nothing depends on ~/.wine; a crash exits at once instead of starting
# the debugger.
export WINEPREFIX="$root/$win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d"
mkdir -p "$WINEPREFIX"
wineserver -k >/dev/null 2>&1 || true  # a server left behind by an earlier run
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineserver -p
# wineboot creates the prefix if needed and starts Wine's background services now, with
# their output on /dev/null: started by a test instead, they would inherit its output pipe
# and hold it open long after the test ended.
wine wineboot --init >/dev/null 2>&1

echo "== Windows unit tests under Wine"
ctest --test-dir "$win" --no-tests=error -j "$jobs" --output-on-failure

echo "== black-box suite against the simulated-machine executable under Wine"
cmake -S . -B "$blackbox" -DVELORIN_BLACKBOX_TOOL="$root/$win/VelorinBiosConfigTool-sim.exe" \
  -DVELORIN_BLACKBOX_LAUNCHER=wine -DVELORIN_BLACKBOX_FOLD_CRLF=ON >/dev/null
cmake --build "$blackbox" -j "$jobs" --target velorin_blackbox_tests
ctest --test-dir "$blackbox" -R 'BlackBox' --no-tests=error -j "$jobs" --output-on-failure

echo "== release executable under Wine (no ROOT\\velorin namespace)"
scripts/check-release-exe.sh "$root/$win/VelorinBiosConfigTool.exe"

echo "== package"
(cd "$win" && cpack >/dev/null)
package=$(ls "$win"/VelorinBiosConfigTool-*-win64.zip)
listing=$(unzip -Z1 "$package" | grep -v '/$' | sort | tr '\n' ' ')
expected=$({ printf '%s\n' README.txt VelorinBiosConfigTool.exe
  git ls-files deploy powershell/VelorinBios | sed 's|^powershell/||'; } | sort | tr '\n' ' ')
[ "$listing" = "$expected" ] || {
  echo "unexpected package contents: $listing"; exit 1; }
echo "$package: $listing"
if command -v pwsh >/dev/null || [ -x "$HOME/.dotnet/tools/pwsh" ]; then
  unpacked=$(mktemp -d)
  unzip -q "$package" -d "$unpacked"
  (cd "$unpacked" && PATH="$PATH:$HOME/.dotnet/tools" pwsh -NoProfile -NonInteractive -Command \
    'Import-Module ./VelorinBios -ErrorAction Stop; if (@(Get-Command -Module VelorinBios).Count -ne 6) { exit 1 }') || {
    echo "Import-Module ./VelorinBios fails in the unzipped package"; rm -rf "$unpacked"; exit 1; }
  rm -rf "$unpacked"
  echo "Import-Module ./VelorinBios works in the unzipped package"
fi
echo "windows: all checks passed"
