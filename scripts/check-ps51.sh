#!/usr/bin/env bash
# Usage: scripts/check-ps51.sh [BUILD_DIR]   (default build: the reference assemblies go there)
#
# The Windows PowerShell 5.1 gate: every .ps1, .psm1 and .psd1 under powershell/ and deploy/
# keeps to what Windows PowerShell 5.1 on .NET Framework 4.8 parses and runs (syntax, commands
# and named parameters, .NET types and members, ASCII or UTF-8 with a BOM), apart from the
# guarded lines in tests/ps51/allow-list.txt. First the check proves itself on the seeded
# faults in tests/ps51/seeded: it must report exactly tests/ps51/seeded/expected.txt.
# Needs pwsh and the .NET SDK (scripts/install-deps.sh); restores the reference assemblies
# with scripts/restore-ps51-references.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
export PATH="$PATH:$HOME/.dotnet/tools"
command -v pwsh >/dev/null || { echo "check-ps51.sh: pwsh is missing; run scripts/install-deps.sh" >&2; exit 1; }
references=$build/ps51-references
scripts/restore-ps51-references.sh "$references"

# Every PowerShell file of the module and the fleet scripts, new ones included, after the
# check has proved itself on the seeded faults.
mapfile -t roots < <(for folder in powershell deploy; do [ -d "$folder" ] && echo "$folder"; done)
pwsh -NoProfile -NonInteractive -File tests/ps51/Test-PS51Compatibility.ps1 -ReferencePath "$references" \
  -SelfTestPath tests/ps51/seeded -Root . -AllowListPath tests/ps51/allow-list.txt "${roots[@]}"
