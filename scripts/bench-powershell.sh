#!/usr/bin/env bash
# What the PowerShell module adds to the tool's run: Get-VelorinBiosSetting and
# Test-VelorinBiosConfiguration against /get /o and /check alone, on a simulated machine of
# 10,000 items with 8 options (bench/Measure-VelorinBiosModule.ps1). TOOL=path measures another
# build of the tool; ITEMS and REPEAT change the size and the number of runs.
set -euo pipefail
cd "$(dirname "$0")/.."
export PATH="$PATH:$HOME/.dotnet/tools"
command -v pwsh >/dev/null || { echo "bench-powershell.sh: pwsh is missing; run scripts/install-deps.sh" >&2; exit 1; }
if [ -z "${TOOL:-}" ]; then
  cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-bench -j "${JOBS:-2}" --target VelorinBiosConfigTool >/dev/null
  TOOL=$PWD/build-bench/VelorinBiosConfigTool
fi
pwsh -NoProfile -NonInteractive -File bench/Measure-VelorinBiosModule.ps1 -Tool "$TOOL" \
  -Items "${ITEMS:-10000}" -Repeat "${REPEAT:-5}"
