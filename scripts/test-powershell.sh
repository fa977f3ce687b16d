#!/usr/bin/env bash
# Runs the Pester tests of the PowerShell module and the fleet scripts (tests/powershell) with
# PowerShell 7 against the Linux build in BUILD_DIR (default build), which must be built.
# Ends with a line "Pester: N passed, N failed, N skipped" and a non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
export PATH="$PATH:$HOME/.dotnet/tools"
command -v pwsh >/dev/null || { echo "test-powershell.sh: pwsh is missing; run scripts/install-deps.sh" >&2; exit 1; }
scripts/restore-pester.sh "$build/pester"
pwsh -NoProfile -NonInteractive -File tests/powershell/Invoke-PesterTests.ps1 \
  -Tool "$PWD/$build/VelorinBiosConfigTool" -Pester "$PWD/$build/pester/packages/pester/5.7.1/tools/Pester.psd1"
