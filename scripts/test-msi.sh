#!/usr/bin/env bash
# Usage: scripts/test-msi.sh [BUILD_DIR]   (default build-windows, after cpack)
#
# Proves VelorinBiosConfigTool-<version>-x64.msi from the Linux side and under Wine:
# - msiinfo: a per-machine x64 package with the fixed UpgradeCode, the project's version, no
#   Modify button, a major upgrade that refuses a downgrade, and nothing but files, folders and
#   the event source of the fleet scripts (no custom actions, services, shortcuts or other
#   registry values of its own);
# - in a private Wine prefix with VelorinSimProvider.dll registered: an older version (built
#   from the same files) installs, this one replaces it and leaves one copy and one uninstall
#   entry (publisher, version, no Modify), the older one is then refused with its message;
#   a rebuild of this version, then a fourth-field change, then a third-field change (each
#   with a new ProductCode) each replace the one installed;
# - the installed executable lists the simulated machine through the registered provider;
# - PowerShell 7 imports the module from its installed folder and runs Get-VelorinBiosSetting
#   with the installed executable;
# - msiexec /x leaves Program Files as it was before the first install.
# Program Files\WindowsPowerShell\Modules is created before the first install, as Windows has
# it; Wine's prefixes lack it.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
root=$PWD
win=${1:-build-windows}
upgrade_code='{8BDF7AB3-33A8-4D7A-B997-4E772DA616C4}'
name='Velorin BIOS Configuration Tool'
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win/CMakeCache.txt")
module_version=${version%.*}
msi=$root/$win/VelorinBiosConfigTool-$version-x64.msi
[ -f "$msi" ] || { echo "$msi not found: run cpack in $win first"; exit 1; }

# shellcheck source=scripts/check-results.sh
source scripts/check-results.sh

work=$(mktemp -d)
export WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d"
export WINEPREFIX=$root/$win/wineprefix-msi
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== msiinfo"
echo "tables: $(msiinfo tables "$msi" | sort | tr '\n' ' ')"
rows() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }
property() { rows Property | awk -F '\t' -v p="$1" '$1 == p { print $2 }'; }
expect "ProductVersion is the project version" "$(property ProductVersion)" "$version"
expect "UpgradeCode is the fixed one" "$(property UpgradeCode)" "$upgrade_code"
expect "ALLUSERS=1 (per machine)" "$(property ALLUSERS)" 1
expect "ARPNOMODIFY=1 (no Modify button)" "$(property ARPNOMODIFY)" 1
expect "Manufacturer (the uninstall entry's publisher)" "$(property Manufacturer)" Velorin
expect "ProductName" "$(property ProductName)" "$name"
expect "ProductCode is a GUID" "$(property ProductCode | grep -cE '^\{[0-9A-F-]{36}\}$')" 1
expect "summary Template: 64-bit" "$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')" "x64;1033"
expect "every component is 64-bit" "$(rows Component | awk -F '\t' 'int($4 / 256) % 2 == 0' | wc -l)" 0
# The one registry value: the Application log's event source, so that the fleet scripts need
# no rights to create it.
expect "Registry: the event source and nothing else" \
  "$(rows Registry | awk -F '\t' '{ print $2 "|" $3 "|" $4 "|" $5 }')" \
  '2|SYSTEM\CurrentControlSet\Services\EventLog\Application\VelorinBiosConfigTool|EventMessageFile|[WindowsFolder]Microsoft.NET\Framework64\v4.0.30319\EventLogMessages.dll'
for table in CustomAction ServiceInstall ServiceControl Shortcut Binary; do
  expect "no rows in $table" "$(rows "$table" | wc -l)" 0
done
# Windows Installer compares the first three fields: every version up to this one's first three
# (its rebuilds and fourth-field changes included) is replaced, a higher third field is newer.
IFS=. read -r major minor patch fourth <<<"$version"
expect "Upgrade: versions up to $major.$minor.$patch are replaced, a newer one is detected as a downgrade" \
  "$(rows Upgrade | awk -F '\t' '{ print $2 "|" $3 "|" $5 "|" $7 }' | sort | tr '\n' ' ')" \
  "0.0.0|$major.$minor.$((patch + 1))|256|WIX_UPGRADE_DETECTED $version||2|WIX_DOWNGRADE_DETECTED "
expect "a launch condition refuses the downgrade with its message" \
  "$(rows LaunchCondition)" "NOT WIX_DOWNGRADE_DETECTED	A newer version of [ProductName] is already installed. Uninstall it first to install this older version."
expect "RemoveExistingProducts runs before the install (a full major upgrade)" \
  "$(rows InstallExecuteSequence | awk -F '\t' '$1 == "RemoveExistingProducts" { print ($3 < 1500) }')" 1
expect "the MSI carries the zip's files" "$(rows File | wc -l)" \
  "$(unzip -Z1 "$win/VelorinBiosConfigTool-$version-win64.zip" | grep -vc '/$')"

echo "== install, upgrade, downgrade and uninstall under Wine (prefix $WINEPREFIX)"
wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver -p
wine wineboot --init >/dev/null 2>&1
scripts/wine-register-sim-provider.sh "$WINEPREFIX" "$win/VelorinSimProvider.dll" >/dev/null
program_files=$WINEPREFIX/drive_c/Program\ Files
mkdir -p "$program_files/WindowsPowerShell/Modules"
snapshot() { (cd "$program_files" && find . | sort); }
snapshot >"$work/before.txt"

# An older version of the same files, from the zip's content.
stage=$work/stage
mkdir -p "$stage"
unzip -q "$win/VelorinBiosConfigTool-$version-win64.zip" -d "$stage"
build_msi() {  # build_msi VERSION FILE: the same files as VERSION, with a ProductCode of its own
  cmake -DSTAGE="$stage" -DVERSION="$1" -DOUTPUT="$2" -DSOURCE="$root" -P packaging/msi.cmake >/dev/null
}
older_msi=$work/VelorinBiosConfigTool-0.9.0.0-x64.msi
build_msi 0.9.0.0 "$older_msi"

msiexec_run() {  # msiexec_run LOG ARGUMENTS...: its exit code
  local log=$1 status=0
  shift
  wine msiexec "$@" /qn /l*v "$(winepath -w "$log")" >/dev/null 2>&1 || status=$?
  return "$status"
}
installed=$program_files/Velorin/BiosConfigTool
modules=$program_files/WindowsPowerShell/Modules/VelorinBios
uninstall_entries() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk -v name="$name" '
      /^HKEY/ { key = $0 }
      $1 == "DisplayName" { sub(/^ *DisplayName +REG_SZ +/, ""); display[key] = $0 }
      $1 == "Publisher" { publisher[key] = $3 }
      $1 == "DisplayVersion" { version[key] = $3 }
      $1 == "NoModify" { nomodify[key] = $3 }
      END { for (k in display) if (display[k] == name)
              print publisher[k] "|" version[k] "|" nomodify[k] }'
}

if msiexec_run "$work/older.log" /i "$(winepath -w "$older_msi")"; then
  expect "the older version installs its module as 0.9.0" "$(ls "$modules")" "0.9.0"
else
  fail "msiexec /i of the older version failed"
fi
if msiexec_run "$work/install.log" /i "$(winepath -w "$msi")"; then
  pass "msiexec /i $version /qn"
else
  fail "msiexec /i of $version failed; log: $(tr -d '\r\0' <"$work/install.log" | tail -5)"
fi
expect "after the upgrade one module version is left" "$(ls "$modules")" "$module_version"
expect "the install folder holds the tool, README, notices and deploy" \
  "$(cd "$installed" && find . -mindepth 1 -maxdepth 1 | sort | tr '\n' ' ')" \
  "./NOTICES.txt ./README.txt ./VelorinBiosConfigTool.exe ./deploy "
expect "the installed executable is the packaged one" \
  "$(cmp -s "$installed/VelorinBiosConfigTool.exe" "$stage/VelorinBiosConfigTool.exe" && echo same)" same
expect "one uninstall entry: publisher|version|NoModify" "$(uninstall_entries)" "Velorin|$version|0x1"
event_source() {
  wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\VelorinBiosConfigTool' \
    /v EventMessageFile 2>/dev/null | tr -d '\r' | awk '$1 == "EventMessageFile" { print $2 }'
}
expect "the event source is registered" "$(event_source)" "REG_SZ"

# Wine keeps the low byte of msiexec's 1603 (ERROR_INSTALL_FAILURE), and logs no message text
# for a failed launch condition in /qn.
status=0
msiexec_run "$work/downgrade.log" /i "$(winepath -w "$older_msi")" || status=$?
if [ "$status" -eq $((1603 % 256)) ] &&
  tr -d '\0\r' <"$work/downgrade.log" | grep -qx "Action ended .*: LaunchConditions. Return value 0."; then
  pass "the older version is refused by its launch condition (1603)"
else
  fail "the older version over $version: exit $status; log: $(tr -d '\0\r' <"$work/downgrade.log" | grep LaunchConditions)"
fi
expect "the refused downgrade left $version in place" "$(ls "$modules")" "$module_version"

echo "== the installed tool and module"
status=0
(cd "$work" && wine 'C:\Program Files\Velorin\BiosConfigTool\VelorinBiosConfigTool.exe' /get \
  >get.out 2>get.err) || status=$?
if [ "$status" -eq 0 ] && tr -d '\r' <"$work/get.out" | grep -qx "get config command success"; then
  pass "the installed executable lists the simulated machine: $(grep -c '^+++' "$work/get.out") items"
else
  fail "the installed executable /get exited with $status:"; head -20 "$work/get.out" "$work/get.err"
fi
pwsh=$(command -v pwsh || echo "$HOME/.dotnet/tools/pwsh")
if [ -x "$pwsh" ]; then
  # PowerShell 7 on Linux starts the installed Windows executable through this launcher.
  launcher=$work/VelorinBiosConfigTool
  printf '#!/bin/sh\nexec wine %s "$@"\n' "'C:\\Program Files\\Velorin\\BiosConfigTool\\VelorinBiosConfigTool.exe'" >"$launcher"
  chmod +x "$launcher"
  count=$(cd "$work" && "$pwsh" -NoProfile -NonInteractive -Command \
    "Import-Module '$modules/$module_version/VelorinBios.psd1' -ErrorAction Stop
     @(Get-VelorinBiosSetting -ToolPath '$launcher' -ErrorAction Stop).Count" 2>&1 | tail -n 1)
  if [ "$count" = "$(grep -c '^+++' "$work/get.out")" ]; then
    pass "pwsh imports the installed module and Get-VelorinBiosSetting lists $count settings"
  else
    fail "Get-VelorinBiosSetting through the installed module: $count"
  fi
else
  echo "note: pwsh is missing; the installed module was not imported"
fi

echo "== rebuilds, fourth-field and third-field changes"
# Each replaces the one installed: one uninstall entry is left, with the new version, and the
# module folder of its first three fields.
installed_msi=$msi
for next in "$version" "$major.$minor.$patch.$((fourth + 1))" "$major.$minor.$((patch + 1)).0"; do
  next_msi=$work/next-$next/VelorinBiosConfigTool-$next-x64.msi
  mkdir -p "$(dirname "$next_msi")"
  build_msi "$next" "$next_msi"
  if msiexec_run "$work/next-$next.log" /i "$(winepath -w "$next_msi")"; then
    installed_msi=$next_msi
    expect "$next over the installed version: one uninstall entry, $next" "$(uninstall_entries)" "Velorin|$next|0x1"
    expect "$next over the installed version: one module folder" "$(ls "$modules")" "${next%.*}"
  else
    fail "msiexec /i of $next over the installed version failed"
  fi
done

echo "== uninstall"
if msiexec_run "$work/uninstall.log" /x "$(winepath -w "$installed_msi")"; then
  pass "msiexec /x /qn"
else
  fail "msiexec /x failed"
fi
snapshot >"$work/after.txt"
if cmp -s "$work/before.txt" "$work/after.txt"; then
  pass "Program Files is as it was before the first install"
else
  fail "left behind or removed by the install and uninstall:"; diff "$work/before.txt" "$work/after.txt" || true
fi
expect "no uninstall entry is left" "$(uninstall_entries)" ""
expect "no event source is left" "$(event_source)" ""
checks_passed
