#!/usr/bin/env bash
# Restores the reference assemblies the Windows PowerShell 5.1 check (scripts/check-ps51.sh)
# reads the .NET surface from, into DIR (default build/ps51-references), as
# scripts/restore-pester.sh restores Pester: a throwaway project of PackageDownload items.
#   Microsoft.NETFramework.ReferenceAssemblies.net48 1.0.3: .NET Framework 4.8, in
#     DIR/packages/microsoft.netframework.referenceassemblies.net48/1.0.3/build/.NETFramework/v4.8
#   PowerShellStandard.Library 5.1.1: System.Management.Automation 5.1, in
#     DIR/packages/powershellstandard.library/5.1.1/lib/net452
set -euo pipefail
dir=${1:-build/ps51-references}
command -v dotnet >/dev/null || {
  echo "restore-ps51-references.sh: the .NET SDK (dotnet) is not installed" >&2; exit 1; }
net48=$dir/packages/microsoft.netframework.referenceassemblies.net48/1.0.3/build/.NETFramework/v4.8
sma=$dir/packages/powershellstandard.library/5.1.1/lib/net452
[ -f "$net48/mscorlib.dll" ] && [ -f "$sma/System.Management.Automation.dll" ] && exit 0
mkdir -p "$dir"
framework="net$(dotnet --version | cut -d. -f1).0"
cat > "$dir/restore-ps51-references.csproj" <<PROJECT
<Project Sdk="Microsoft.NET.Sdk">
  <PropertyGroup>
    <TargetFramework>$framework</TargetFramework>
  </PropertyGroup>
  <ItemGroup>
    <PackageDownload Include="Microsoft.NETFramework.ReferenceAssemblies.net48" Version="[1.0.3]" />
    <PackageDownload Include="PowerShellStandard.Library" Version="[5.1.1]" />
  </ItemGroup>
</Project>
PROJECT
dotnet restore "$dir/restore-ps51-references.csproj" --packages "$dir/packages" --nologo -v quiet
