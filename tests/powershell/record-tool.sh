#!/bin/sh
# Stands in front of VelorinBiosConfigTool for the tests: keeps the arguments (NUL-separated)
# and the standard input of every run in VELORIN_RECORD_DIR, then runs the real tool
# (VELORIN_REAL_TOOL) with both and passes its exit code on.
set -eu
run="$VELORIN_RECORD_DIR/$(date +%s%N)-$$"
printf '%s\0' "$@" > "$run.args"
cat > "$run.stdin"
exec "$VELORIN_REAL_TOOL" "$@" < "$run.stdin"
