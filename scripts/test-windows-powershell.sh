#!/usr/bin/env bash
# Runs the Pester tests of the PowerShell module and the fleet scripts (tests/powershell) with a
# Windows build of PowerShell under Wine, against VelorinBiosConfigTool-sim.exe of the MinGW
# build in the folder given (default build-windows, built by scripts/test-windows.sh or the
# windows preset). The host is the PowerShell SDK's console shell published self-contained for
# VELORIN_PWSH_RID (default win-x64) from tests/winhost, with the Modules folder of the
# PowerShell tool package beside it; the restore and publish are kept in that folder and done
# again only when tests/winhost changes. Ends with Pester's "Pester: N passed, N failed,
# N skipped". Tests that need what Wine lacks skip themselves and say why.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win=${1:-build-windows}
rid=${VELORIN_PWSH_RID:-win-x64}
sim=$root/$win/VelorinBiosConfigTool-sim.exe
pester=$root/$win/pester/packages/pester/5.7.1/tools/Pester.psd1
cache=$root/$win/pwsh-host
host=$cache/$rid

command -v wine >/dev/null || { echo "test-windows-powershell.sh: wine is missing; run scripts/install-deps.sh" >&2; exit 1; }
command -v dotnet >/dev/null || { echo "test-windows-powershell.sh: the .NET SDK (dotnet) is not installed" >&2; exit 1; }
command -v script >/dev/null || { echo "test-windows-powershell.sh: script (util-linux) is missing" >&2; exit 1; }
# Debian's wine32 (an i386 package, so it needs the i386 architecture in dpkg) brings the 32-bit
# loader; wine64 alone cannot start a win-x86 host.
if [ "$rid" = win-x86 ] && [ ! -x /usr/lib/wine/wine ]; then
  echo "test-windows-powershell.sh: a win-x86 host needs Wine's 32-bit support (wine32:i386)" >&2; exit 1
fi
[ -f "$sim" ] || { echo "test-windows-powershell.sh: $sim is missing; build the windows preset first" >&2; exit 1; }

# The host, published again only when its project or program changed. Both the packages and
# the publish output stay in the build folder, as Pester's restore does.
publish_host() {
  local stamp
  stamp=$(cat tests/winhost/VelorinPwshHost.csproj tests/winhost/Program.cs | sha256sum | cut -d' ' -f1)
  [ -f "$host/stamp" ] && [ "$(cat "$host/stamp")" = "$stamp-$rid" ] && return 0
  echo "publishing the PowerShell host for $rid (NuGet restore, cached in $win/pwsh-host)"
  rm -rf "$host"
  mkdir -p "$host/src"
  cp tests/winhost/VelorinPwshHost.csproj tests/winhost/Program.cs "$host/src/"
  DOTNET_CLI_TELEMETRY_OPTOUT=1 nice dotnet publish "$host/src/VelorinPwshHost.csproj" -r "$rid" \
    -c Release -o "$host/bin" --packages "$cache/packages" --nologo -v quiet
  # The built-in modules (Microsoft.PowerShell.Management and the rest) are not in the SDK
  # package: $PSHOME/Modules of the PowerShell tool package, its Windows half.
  cp -r "$cache/packages/powershell/7.6.10/tools/net10.0/any/win/Modules" "$host/bin/Modules"
  echo "$stamp-$rid" >"$host/stamp"
}
publish_host
scripts/restore-pester.sh "$win/pester"
# The tests' recording stand-in for the tool, as a Windows program (record-tool.sh elsewhere).
recorder=$root/$win/record-tool.exe
if [ ! "$recorder" -nt tests/winhost/record-tool.c ]; then
  x86_64-w64-mingw32-gcc -O2 -Wall -municode -static -o "$recorder" tests/winhost/record-tool.c -lshell32
fi

# A private prefix set to Windows 10 (.NET 10 refuses Wine's default), a persistent server and
# wineboot now, so that no service started later holds the console open; a crash exits at once
# instead of starting the debugger.
export WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d"
export WINEPREFIX=$root/$win/wineprefix-pwsh-$rid
# Without this the runtime stops with an internal CLR error under Wine on the first import.
export DOTNET_EnableWriteXorExecute=0
export POWERSHELL_TELEMETRY_OPTOUT=1 POWERSHELL_UPDATECHECK=Off
WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
mkdir -p "$WINEPREFIX"
wineserver -p
wine wineboot --init >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1

windows_path() { winepath -w "$1" 2>/dev/null; }
VELORIN_TEST_RECORDER=$(windows_path "$recorder")
export VELORIN_TEST_RECORDER
log=$root/$win/pester-windows-$rid.log
rm -f "$log"
# The console host needs a console: script gives it a terminal, and the output goes to the log.
command=$(printf '%q ' wine "$host/bin/pwsh.exe" -NoProfile -NonInteractive -ExecutionPolicy Bypass \
  -File "$(windows_path "$root/tests/powershell/Invoke-PesterTests.ps1")" \
  -Tool "$(windows_path "$sim")" -Pester "$(windows_path "$pester")")
status=0
script -qfec "$command >$(printf '%q' "$log") 2>&1" /dev/null >/dev/null || status=$?
# Wine's own notes about the Unix root folder are not the tests' output.
tr -d '\r' <"$log" | grep -v '^wine: Read access denied for device' || true
if ! grep -q '^Pester: [0-9]* passed, 0 failed' "$log" && [ "$status" -eq 0 ]; then
  status=1
fi
exit "$status"
