#!/usr/bin/env bash
# Builds the Windows executables with MinGW-w64 and proves them under Wine: the Windows unit
# tests, the black-box suite against VelorinBiosConfigTool-sim.exe, the release executable's
# hardening and its connection failure on a machine without the Velorin provider, the whole
# black-box suite against the release executable itself over VelorinSimProvider.dll, the
# zip package, the MSI (scripts/test-msi.sh), and both signed (scripts/test-signing.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}
win=build-windows

if ! command -v x86_64-w64-mingw32-g++ >/dev/null || ! command -v wine >/dev/null; then
  echo "mingw-w64 and wine64 are needed: scripts/install-deps.sh installs them"; exit 1
fi

echo "== Windows build (MinGW-w64)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

# Private prefixes, so nothing depends on ~/.wine; a crash exits at once instead of starting
# the debugger. The plain prefix has Wine's own WMI; the provider prefix serves the simulated
# machine's locator through the registry.
export WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d"
plain_prefix=$root/$win/wineprefix
provider_prefix=$root/$win/wineprefix-sim-provider
stop_servers() {
  for prefix in "$plain_prefix" "$provider_prefix"; do
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  done
}
stop_servers  # servers left behind by an earlier run
trap stop_servers EXIT
# A persistent server per prefix, and wineboot now: Wine's background services started by a
# test instead would inherit its output pipe and hold it open long after the test ended.
start_prefix() {
  mkdir -p "$1"
  WINEPREFIX=$1 wineserver -p
  WINEPREFIX=$1 wine wineboot --init >/dev/null 2>&1
}
start_prefix "$plain_prefix"
start_prefix "$provider_prefix"
export WINEPREFIX=$plain_prefix

# Runs the black-box suite and the capture round trip from the Linux build in $1 against the
# Windows executable $2.
blackbox_suite() {
  local dir=$1 tool=$2; shift 2
  cmake -S . -B "$dir" -DVELORIN_BLACKBOX_TOOL="$tool" -DVELORIN_BLACKBOX_LAUNCHER=wine \
    -DVELORIN_BLACKBOX_FOLD_CRLF=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" --target velorin_blackbox_tests velorin_round_trip_tests
  ctest --test-dir "$dir" -R '^(BlackBox|RoundTrip)\.' --no-tests=error -j "$jobs" \
    --output-on-failure
}

echo "== Windows unit tests under Wine"
ctest --test-dir "$win" --no-tests=error -j "$jobs" --output-on-failure

echo "== black-box suite against the simulated-machine executable under Wine"
blackbox_suite build-wine-blackbox "$root/$win/VelorinBiosConfigTool-sim.exe" \
  -DVELORIN_BLACKBOX_SYSTEM_COM=OFF

printf '%s\n' '== release executable: hardening, planted version.dll, no ROOT\velorin'
scripts/check-release-exe.sh "$root/$win/VelorinBiosConfigTool.exe"

echo "== black-box suite against the release executable over VelorinSimProvider.dll"
scripts/wine-register-sim-provider.sh "$provider_prefix" "$root/$win/VelorinSimProvider.dll"
WINEPREFIX=$provider_prefix blackbox_suite build-wine-blackbox-release \
  "$root/$win/VelorinBiosConfigTool.exe" -DVELORIN_BLACKBOX_SYSTEM_COM=ON

echo "== packages"
(cd "$win" && cpack >/dev/null)
package=$(ls "$win"/VelorinBiosConfigTool-*-win64.zip)
listing=$(unzip -Z1 "$package" | grep -v '/$' | sort | tr '\n' ' ')
expected=$({ printf '%s\n' NOTICES.txt README.txt VelorinBiosConfigTool.exe
  git ls-files deploy powershell/VelorinBios | sed 's|^powershell/||'; } | sort | tr '\n' ' ')
[ "$listing" = "$expected" ] || {
  echo "unexpected package contents: $listing"; exit 1; }
echo "$package: $listing"
if command -v pwsh >/dev/null || [ -x "$HOME/.dotnet/tools/pwsh" ]; then
  unpacked=$(mktemp -d)
  unzip -q "$package" -d "$unpacked"
  # The command is PowerShell's: its $ are PowerShell's own.
  # shellcheck disable=SC2016
  (cd "$unpacked" && PATH="$PATH:$HOME/.dotnet/tools" pwsh -NoProfile -NonInteractive -Command \
    'Import-Module ./VelorinBios -ErrorAction Stop
     $manifest = Import-PowerShellDataFile ./VelorinBios/VelorinBios.psd1
     if (@(Get-Command -Module VelorinBios -CommandType Function).Count -ne @($manifest.FunctionsToExport).Count) { exit 1 }
     if (@(Get-Command -Module VelorinBios -CommandType Alias).Count -ne @($manifest.AliasesToExport).Count) { exit 1 }') || {
    echo "Import-Module ./VelorinBios fails in the unzipped package"; rm -rf "$unpacked"; exit 1; }
  rm -rf "$unpacked"
  echo "Import-Module ./VelorinBios works in the unzipped package"
fi
echo "== MSI"
scripts/test-msi.sh "$win"
echo "== signed packages"
scripts/test-signing.sh "$win"
echo "windows: all checks passed"
