#!/usr/bin/env bash
# Checks the form of the sources: clang-format (the repository's .clang-format) over every C++
# file, shellcheck over every shell script. Prints what differs and exits non-zero; fix with
# `clang-format -i FILE` and shellcheck's advice.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
mapfile -t cpp < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' \
  'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 'windows/*.cpp' 'windows/*.h')
clang-format --dry-run -Werror "${cpp[@]}" || status=1
mapfile -t shell < <({ git ls-files -- '*.sh'; echo .ci/run; } | sort -u)
shellcheck "${shell[@]}" || status=1
[ "$status" -eq 0 ] && echo "format: ${#cpp[@]} C++ files and ${#shell[@]} shell scripts pass"
exit "$status"
