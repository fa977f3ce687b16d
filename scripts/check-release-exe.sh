#!/usr/bin/env bash
# Runs the release VelorinBiosConfigTool.exe (path as the argument) under Wine, where the
# namespace ROOT\velorin does not exist, and compares what it prints and returns with the
# connection failure that a PC without the Velorin provider gives. A machine file named in
# VELORIN_MACHINE must make no difference: the release build never sees the simulated machine.
# Uses the Wine prefix in WINEPREFIX (scripts/test-windows.sh sets it).
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winedbg.exe=d}
exe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'revision 6\nmanufacturer "VELORIN"\n' >"$work/machine.txt"

printf '%s\r\n' \
  "======================VelorinBiosConfigTool==================" \
  "Tool version :  1.  1.  1.  0(@)" \
  "ERROR:: WTOLQ Init:: WTOLQ ConnectServer error, hr=8004100E" \
  "GetRivision call failed" \
  "*******COMMAND FAIL******" \
  "Return Code : 12 Error Message : Internal error" >"$work/expected.bin"

failures=0
check() {
  local status=0
  (cd "$work" && VELORIN_MACHINE="$work/machine.txt" wine "$exe" "$@" >out.bin 2>err.bin) || status=$?
  if ! cmp -s "$work/out.bin" "$work/expected.bin" || [ "$status" -ne 12 ] || [ -s "$work/err.bin" ]; then
    echo "FAIL: VelorinBiosConfigTool.exe $* exited with $status and printed:"
    od -c "$work/out.bin" | head -40
    echo "stderr:"; cat "$work/err.bin"
    failures=$((failures + 1))
  else
    echo "ok: VelorinBiosConfigTool.exe $* prints the connection failure (8004100E) and exits with 12"
  fi
}
check /get
check '/?'
check /set cfg.txt /pw admin

if grep -q "VELORIN_MACHINE" "$exe"; then
  echo "FAIL: the release executable contains the simulated machine"
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ]
