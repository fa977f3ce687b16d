#!/bin/sh
# Stands in front of VelorinBiosConfigTool for the rotation fault tests. A run whose first
# argument is VELORIN_FAULT_COMMAND sees the machine file with VELORIN_FAULT_RULE added (an
# answer or fault rule) for that run only; with VELORIN_FAULT_STOP_CALLER set, the process that
# started it is then killed, as a power loss or a stopped task cuts a rotation off between two
# steps. Every other run goes to the tool VELORIN_FAULTED_TOOL unchanged.
set -eu
if [ "${1:-}" != "${VELORIN_FAULT_COMMAND:-}" ]; then
    exec "$VELORIN_FAULTED_TOOL" "$@"
fi
cp "$VELORIN_MACHINE" "$VELORIN_MACHINE.saved"
if [ -n "${VELORIN_FAULT_RULE:-}" ]; then
    printf '%s\n' "$VELORIN_FAULT_RULE" >> "$VELORIN_MACHINE"
fi
code=0
"$VELORIN_FAULTED_TOOL" "$@" || code=$?
mv "$VELORIN_MACHINE.saved" "$VELORIN_MACHINE"
if [ -n "${VELORIN_FAULT_STOP_CALLER:-}" ]; then
    kill -KILL "$PPID"
fi
exit "$code"
