#!/usr/bin/env bash
# Usage: scripts/test-engines.sh [BUILD_DIR] [WINDOWS_BUILD_DIR]   (default build, build-windows)
#
# Runs every fleet script under deploy/ as Intune and ConfigMgr run it (no parameters, no
# profile, as SYSTEM), in a 64-bit and in a 32-bit PowerShell host, against the files of the
# MSI that the Windows build packed (scripts/test-windows.sh runs cpack), with the Linux
# build's tool from BUILD_DIR in place of the Windows executable: tests/powershell/Engine.Tests.ps1.
# Ends with a line "Pester: N passed, N failed, N skipped" and a non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
win=${2:-build-windows}
export PATH="$PATH:$HOME/.dotnet/tools"
for program in pwsh msiextract msiinfo openssl; do
  command -v "$program" >/dev/null || {
    echo "test-engines.sh: $program is missing; run scripts/install-deps.sh" >&2; exit 1; }
done
[ -x "$build/VelorinBiosConfigTool" ] || {
  echo "test-engines.sh: $build/VelorinBiosConfigTool is missing; build $build first" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win/CMakeCache.txt" 2>/dev/null || true)
msi=$PWD/$win/VelorinBiosConfigTool-$version-x64.msi
if [ -z "$version" ] || [ ! -f "$msi" ]; then
  echo "test-engines.sh: no MSI in $win; run scripts/test-windows.sh (or cpack in $win) first" >&2; exit 1
fi
scripts/restore-pester.sh "$build/pester"
VELORIN_TEST_MSI=$msi pwsh -NoProfile -NonInteractive -File tests/powershell/Invoke-PesterTests.ps1 \
  -Tool "$PWD/$build/VelorinBiosConfigTool" -Pester "$PWD/$build/pester/packages/pester/5.7.1/tools/Pester.psd1" \
  -Path "$PWD/tests/powershell/Engine.Tests.ps1"
