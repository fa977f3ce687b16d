#!/usr/bin/env bash
# Usage: scripts/wine-register-sim-provider.sh PREFIX [VelorinSimProvider.dll]
#
# Registers VelorinSimProvider.dll (default: build-windows/VelorinSimProvider.dll) in the Wine
# prefix PREFIX, creating the prefix if needed, as the InprocServer32 of CLSID_WbemLocator
# {4590F811-1D3A-11D0-891F-00AA004B2E24}. The unmodified release VelorinBiosConfigTool.exe
# run in that prefix then reaches the simulated machine named in VELORIN_MACHINE through its
# own CoCreateInstance, which is how scripts/test-windows.sh runs the black-box suite on it.
#
# A TEST FIXTURE ONLY. Such a prefix serves nothing but the simulated machine: every program
# in it that asks for WMI gets the simulated Velorin machine instead. Never register
# VelorinSimProvider.dll on a real Windows machine, by this script, regsvr32, reg.exe or any
# other way: it would take the place of the system's WMI for every program on that machine.
set -euo pipefail
usage="usage: $0 PREFIX [VelorinSimProvider.dll]"
prefix=${1:?$usage}
dll=${2:-$(dirname "$0")/../build-windows/VelorinSimProvider.dll}
[ -f "$dll" ] || { echo "$dll not found: build the windows preset first"; exit 1; }
case "$prefix" in
  /*) ;;
  *) prefix=$PWD/$prefix ;;
esac
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winedbg.exe=d}

mkdir -p "$prefix"
# wineboot creates the prefix if needed; its services start with their output on /dev/null.
wine wineboot --init >/dev/null 2>&1
# The prefix keeps its own copy, so a rebuild cannot change what a registered prefix serves
# until it is registered again.
mkdir -p "$prefix/drive_c/velorin-sim"
cp "$dll" "$prefix/drive_c/velorin-sim/VelorinSimProvider.dll"
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
# ThreadingModel Both: the tool's multithreaded apartment gets the objects themselves, with
# no proxy in between (the simulated objects have no marshalling code).
printf '%s\r\n' \
  'REGEDIT4' '' \
  '[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{4590F811-1D3A-11D0-891F-00AA004B2E24}\InprocServer32]' \
  '@="C:\\velorin-sim\\VelorinSimProvider.dll"' \
  '"ThreadingModel"="Both"' '' >"$reg"
wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
wine reg query 'HKLM\Software\Classes\CLSID\{4590F811-1D3A-11D0-891F-00AA004B2E24}\InprocServer32' \
  /ve 2>/dev/null | grep -q 'C:\\velorin-sim\\VelorinSimProvider.dll' || {
  echo "registering VelorinSimProvider.dll in $prefix failed"; exit 1; }
echo "$prefix: CLSID_WbemLocator is served by VelorinSimProvider.dll (simulated machine only)"
