#!/usr/bin/env bash
# Restores Pester 5.7.1 from NuGet with the dotnet CLI into DIR (default build/pester): a
# throwaway project whose only item is a PackageDownload. The module ends up in
# DIR/packages/pester/5.7.1/tools/Pester.psd1.
set -euo pipefail
dir=${1:-build/pester}
command -v dotnet >/dev/null || { echo "restore-pester.sh: the .NET SDK (dotnet) is not installed" >&2; exit 1; }
[ -f "$dir/packages/pester/5.7.1/tools/Pester.psd1" ] && exit 0
mkdir -p "$dir"
framework="net$(dotnet --version | cut -d. -f1).0"
cat > "$dir/restore-pester.csproj" <<PROJECT
<Project Sdk="Microsoft.NET.Sdk">
  <PropertyGroup>
    <TargetFramework>$framework</TargetFramework>
  </PropertyGroup>
  <ItemGroup>
    <PackageDownload Include="Pester" Version="[5.7.1]" />
  </ItemGroup>
</Project>
PROJECT
dotnet restore "$dir/restore-pester.csproj" --packages "$dir/packages" --nologo -v quiet
