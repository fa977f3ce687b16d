#!/usr/bin/env bash
# Proves the hardening of the release VelorinBiosConfigTool.exe (path as the argument), from
# the file and under Wine:
# - it imports exactly KERNEL32, msvcrt, ole32 and OLEAUT32, all of them Windows' known DLLs,
#   which the loader never looks for in the executable's folder;
# - its DLL characteristics ask for ASLR with 64-bit entropy (DYNAMIC_BASE, HIGH_ENTROPY_VA)
#   and DEP (NX_COMPAT);
# - it was compiled with -fstack-protector-strong: it carries the canary and the failure
#   handler, and PrintBanner(), whose only array is of wchar_t (guarded by -strong, never by
#   plain -fstack-protector), checks its canary;
# - run from a folder with a planted version.dll (planted/ beside the executable holds one)
#   and Windows' load order for version.dll (WINEDLLOVERRIDES version=n,b), the planted DLL
#   is never loaded while the banner still prints; a control program that imports version.dll
#   does load it, so the setting is known to take effect;
# - with the namespace ROOT\velorin absent (Wine's own WMI) it prints the connection failure
#   that a PC without the Velorin provider gives, whatever VELORIN_MACHINE names: the release
#   build never sees the simulated machine.
# Uses the Wine prefix in WINEPREFIX (scripts/test-windows.sh sets it).
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
exe=$(realpath "$1")
planted=$(dirname "$exe")/planted
objdump=x86_64-w64-mingw32-objdump
nm=x86_64-w64-mingw32-nm
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

headers=$("$objdump" -p "$exe")
imports=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
if [ "$imports" = "kernel32.dll msvcrt.dll ole32.dll oleaut32.dll " ]; then
  pass "imports exactly KERNEL32, msvcrt, ole32 and OLEAUT32"
else
  fail "imports $imports"
fi
characteristics=$(sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p' <<<"$headers")
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
  if grep -qx "[[:space:]]*$flag" <<<"$characteristics"; then
    pass "DLL characteristics have $flag"
  else
    fail "DLL characteristics lack $flag"
  fi
done
symbols=$("$nm" "$exe")
for symbol in __stack_chk_guard __stack_chk_fail; do
  if grep -qE "^[0-9a-f]+ [TDB] $symbol\$" <<<"$symbols"; then
    pass "defines $symbol"
  else
    fail "does not define $symbol (no stack protector)"
  fi
done
if "$objdump" -d -C --no-show-raw-insn "$exe" | awk '/^[0-9a-f]+ <PrintBanner\(\)>:$/ { on = 1; next } /^$/ { on = 0 } on' |
  grep -q 'call .*<__stack_chk_fail>'; then
  pass "PrintBanner() checks its canary (-fstack-protector-strong)"
else
  fail "PrintBanner() does not check a canary: not compiled with -fstack-protector-strong"
fi
if grep -q "VELORIN_MACHINE" "$exe"; then
  fail "the release executable contains the simulated machine"
fi

# The executable runs from its own copy in a folder that also holds the planted version.dll.
cp "$exe" "$work/VelorinBiosConfigTool.exe"
cp "$planted/version.dll" "$planted/version_import_probe.exe" "$work/"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winedbg.exe=d};version=n,b"
printf 'revision 6\nmanufacturer "VELORIN"\n' >"$work/machine.txt"
printf '%s\r\n' \
  "======================VelorinBiosConfigTool==================" \
  "Tool version :  1.  1.  1.  0(@)" \
  "ERROR:: WTOLQ Init:: WTOLQ ConnectServer error, hr=8004100E" \
  "GetRivision call failed" \
  "*******COMMAND FAIL******" \
  "Return Code : 12 Error Message : Internal error" >"$work/expected.bin"

check() {
  local status=0
  (cd "$work" && VELORIN_MACHINE="$work/machine.txt" wine VelorinBiosConfigTool.exe "$@" \
    >out.bin 2>err.bin) || status=$?
  if [ -e "$work/planted-dll-ran" ]; then
    fail "VelorinBiosConfigTool.exe $* loaded the planted version.dll"
    rm -f "$work/planted-dll-ran"
  elif ! cmp -s "$work/out.bin" "$work/expected.bin" || [ "$status" -ne 12 ] || [ -s "$work/err.bin" ]; then
    fail "VelorinBiosConfigTool.exe $* exited with $status and printed:"
    od -c "$work/out.bin" | head -40
    echo "stderr:"; cat "$work/err.bin"
  else
    pass "VelorinBiosConfigTool.exe $* leaves the planted version.dll alone, prints the banner" \
      "and the connection failure (8004100E) and exits with 12"
  fi
}
check /get
check '/?'
check /set cfg.txt /pw admin

(cd "$work" && wine version_import_probe.exe >/dev/null 2>&1) || true
if [ -e "$work/planted-dll-ran" ]; then
  pass "control: a program that imports version.dll loads the planted one from its folder"
else
  fail "control: the planted version.dll was not loaded by a program importing version.dll," \
    "so the check above proves nothing (is version=n,b in effect?)"
fi
[ "$failures" -eq 0 ]
