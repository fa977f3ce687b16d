#!/usr/bin/env bash
# Runs the black-box suite with every tool run under valgrind's memcheck: a memory error or a
# leak makes valgrind exit with 99 and write to standard error, and the runner compares both,
# so any finding fails its case. scripts/valgrind.supp holds the known false reports (BSTRs held
# through interior pointers, glibc's vector wmemcmp). VALGRIND_BUILD_DIR names the build
# (default build-valgrind); VALGRIND_TOOL names an executable already built (the runner is then
# the only thing built). About a minute on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v valgrind >/dev/null || { echo "needs valgrind (scripts/install-deps.sh)"; exit 1; }
build=${VALGRIND_BUILD_DIR:-build-valgrind}
targets=(VelorinBiosConfigTool velorin_blackbox_tests)
tool_option=()
if [ -n "${VALGRIND_TOOL:-}" ]; then
  tool_option=(-DVELORIN_BLACKBOX_TOOL="$(realpath "$VALGRIND_TOOL")")
  targets=(velorin_blackbox_tests)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tool_option[@]}" \
  -DVELORIN_BLACKBOX_LAUNCHER="valgrind --error-exitcode=99 --leak-check=full -q --suppressions=$PWD/scripts/valgrind.supp" \
  >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target "${targets[@]}"
ctest --test-dir "$build" -R '^BlackBox\.' -j "${JOBS:-2}" --output-on-failure
