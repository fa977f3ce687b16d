#!/usr/bin/env bash
# Usage: scripts/check-format.sh [BUILD_DIR]   (default build: the 5.1 gate's reference
#                                               assemblies are restored there)
#
# Checks the form of the sources: clang-format (the repository's .clang-format) over every C++
# file, shellcheck over every shell script, and the PowerShell files: the Windows PowerShell
# 5.1 gate (scripts/check-ps51.sh), a parse of every .ps1, .psm1 and .psd1 of the repository
# (scripts/check-ps-parse.ps1), and that docs/module-reference.md is what
# scripts/make-module-reference.ps1 makes of the module's help. Prints what differs and exits
# non-zero; fix with `clang-format -i FILE`, shellcheck's advice, or by running
# `pwsh -NoProfile -File scripts/make-module-reference.ps1`.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
export PATH="$PATH:$HOME/.dotnet/tools"
status=0
mapfile -t cpp < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' \
  'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 'windows/*.cpp' 'windows/*.h')
clang-format --dry-run -Werror "${cpp[@]}" || status=1
mapfile -t shell < <({ git ls-files -- '*.sh'; echo .ci/run; } | sort -u)
shellcheck "${shell[@]}" || status=1

command -v pwsh >/dev/null || { echo "check-format.sh: pwsh is missing; run scripts/install-deps.sh" >&2; exit 1; }
scripts/check-ps51.sh "$build" || status=1
# The seeded faults of the 5.1 gate hold parse errors on purpose; the gate's self-test reads them.
mapfile -t powershell < <(git ls-files -- '*.ps1' '*.psm1' '*.psd1' ':!tests/ps51/seeded/*')
pwsh -NoProfile -NonInteractive -File scripts/check-ps-parse.ps1 "${powershell[@]}" || status=1
pwsh -NoProfile -NonInteractive -File scripts/make-module-reference.ps1 -Check || status=1

[ "$status" -eq 0 ] &&
  echo "format: ${#cpp[@]} C++ files, ${#shell[@]} shell scripts and ${#powershell[@]} PowerShell files pass"
exit "$status"
