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
#   and Windows' load order for version.dll (WINEDLLOVERRIDES version=n,b), it still prints
#   the banner, so its version calls reach the system's version.dll, and it never loads the
#   planted one itself; a control program that imports version.dll does load and call it, so
#   the setting is known to take effect. A load of the planted DLL at process start fails the
#   check unless system DLLs of the prefix that the executable's imports pull in import
#   version.dll themselves (Wine's user32.dll does; Wine 8.0 has no known DLLs);
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
# shellcheck source=scripts/check-results.sh
source "$(dirname "$0")/check-results.sh"

headers=$("$objdump" -p "$exe")
imports=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | tr '[:upper:]' '[:lower:]' | sort | tr '\n' ' ')
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
if "$objdump" -d -C --no-show-raw-insn "$exe" | awk '/^[0-9a-f]+ <velorin::tool::PrintBanner\(\)>:$/ { on = 1; next } /^$/ { on = 0 } on' |
  grep -q 'call .*<__stack_chk_fail>'; then
  pass "PrintBanner() checks its canary (-fstack-protector-strong)"
else
  fail "PrintBanner() does not check a canary: not compiled with -fstack-protector-strong"
fi
if grep -q "VELORIN_MACHINE" "$exe"; then
  fail "the release executable contains the simulated machine"
fi

imports_of() { "$objdump" -p "$1" | sed -n 's/^\tDLL Name: //p' | tr '[:upper:]' '[:lower:]'; }

# The system DLLs, among those the executable's imports pull in at its start, that import
# version.dll themselves, read from the import tables in the prefix's system32. Windows' known
# DLLs import no version.dll from an application's folder; Wine's builtin user32.dll imports
# version.dll, and Wine (8.0) has no known DLLs.
system_importers_of_version() {
  local system32=$WINEPREFIX/drive_c/windows/system32 dll dependency
  local -A seen=()
  local queue
  read -ra queue <<<"$(imports_of "$exe" | tr '\n' ' ')"
  while [ ${#queue[@]} -gt 0 ]; do
    dll=${queue[0]}
    queue=("${queue[@]:1}")
    if [ -n "${seen[$dll]:-}" ] || [ ! -f "$system32/$dll" ]; then continue; fi
    seen[$dll]=1
    for dependency in $(imports_of "$system32/$dll"); do
      [ "$dependency" = version.dll ] && echo "$dll"
      queue+=("$dependency")
    done
  done | sort -u | tr '\n' ' '
}

# The executable runs from its own copy in a folder that also holds the planted version.dll.
cp "$exe" "$work/VelorinBiosConfigTool.exe"
cp "$planted/version.dll" "$planted/version_import_probe.exe" "$work/"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winedbg.exe=d};version=n,b"
start_importers=$(system_importers_of_version)
if [ -n "$start_importers" ]; then
  echo "note: under this Wine, $start_importers(pulled in by the executable's imports, not by" \
    "the executable) import version.dll, so Wine loads the planted one at every process start" \
    "and calls into it from there; the tool's own version calls must still reach the system's"
fi
printf 'revision 6\nmanufacturer "VELORIN"\n' >"$work/machine.txt"
printf '%s\r\n' \
  "======================VelorinBiosConfigTool==================" \
  "Tool version :  1.  1.  1.  0(@)" \
  "ERROR:: WTOLQ Init:: WTOLQ ConnectServer error, hr=8004100E" \
  "GetRivision call failed" \
  "*******COMMAND FAIL******" \
  "Return Code : 12 Error Message : Internal error" >"$work/expected.bin"

# Runs the program $1 in the work folder with the arguments after it, the planted DLL's marks
# cleared first.
run_in_work() {
  local program=$1 status=0
  shift
  rm -f "$work"/planted-dll-*
  (cd "$work" && VELORIN_MACHINE="$work/machine.txt" wine "$program" "$@" >out.bin 2>err.bin) ||
    status=$?
  return "$status"
}
marked() { [ -e "$work/planted-dll-$1" ]; }

check() {
  local status=0 ok=1
  run_in_work VelorinBiosConfigTool.exe "$@" || status=$?
  if marked loaded-later; then
    fail "VelorinBiosConfigTool.exe $* loaded the planted version.dll"; ok=0
  fi
  if [ -z "$start_importers" ] && { marked loaded-at-start || marked called; }; then
    fail "VelorinBiosConfigTool.exe $* loaded the planted version.dll at its start"; ok=0
  fi
  # The banner's version calls went to the planted DLL, whose calls fail, if it is missing.
  if ! cmp -s "$work/out.bin" "$work/expected.bin" || [ "$status" -ne 12 ] || [ -s "$work/err.bin" ]; then
    fail "VelorinBiosConfigTool.exe $* exited with $status and printed:"; ok=0
    od -c "$work/out.bin" | head -40
    echo "stderr:"; cat "$work/err.bin"
  fi
  [ "$ok" -eq 0 ] ||
    pass "VelorinBiosConfigTool.exe $* beside a planted version.dll: takes its version calls" \
      "from the system's, prints the banner and the connection failure (8004100E), exits with 12"
}
check /get
check '/?'
check /set cfg.txt /pw admin

run_in_work version_import_probe.exe || true
if marked loaded-at-start && marked called; then
  pass "control: a program that imports version.dll loads and calls the planted one"
else
  fail "control: a program importing version.dll did not use the planted one, so the checks" \
    "above prove nothing (is version=n,b in effect?)"
fi
checks_passed
