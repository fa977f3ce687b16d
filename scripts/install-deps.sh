#!/usr/bin/env bash
# Installs what the build and the tests need on Debian (run as root, or with sudo available).
#
#   scripts/install-deps.sh           everything: the build and every test
#   scripts/install-deps.sh --build   only what building the tool needs (the first README command)
#
# Packages come without the ones Debian merely recommends, and a package already installed is
# not asked for again.
set -euo pipefail
cd "$(dirname "$0")/.."

# The build: the compiler, CMake and GoogleTest, which the default configuration builds the
# unit tests with.
build_packages=(cmake g++ make libgtest-dev)

# The tests beyond the normal build:
# googletest (sources), mingw-w64, wine64 with its launcher wine, and unzip: the Windows build,
#   scripts/test-windows.sh
# clang and libclang-rt-dev: the fuzzers
# libbenchmark-dev, valgrind and time: the benchmarks and scripts/valgrind-blackbox.sh
# msitools and wixl: the MSI package (wixl builds it, msiinfo reads it back)
# osslsigncode and openssl: the signed package, against a throwaway CA made at test time
# clang-format and shellcheck: the format and lint checks
test_packages=(googletest mingw-w64 wine64 wine unzip clang libclang-rt-dev libbenchmark-dev valgrind time
  msitools wixl osslsigncode openssl shellcheck clang-format)

usage() {
  echo "usage: $0 [--build]" >&2
  exit 2
}

with_tests=1
case "${1-}" in
  "") ;;
  --build) with_tests=0 ;;
  *) usage ;;
esac
[ $# -le 1 ] || usage

packages=("${build_packages[@]}")
[ "$with_tests" -eq 0 ] || packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# osslsigncode signs PowerShell scripts from 2.8 on; Debian 12 has 2.5, its backports 2.9.
osslsigncode_signs_scripts() {
  dpkg --compare-versions "$(dpkg-query -W -f='${Version}' osslsigncode)" ge 2.8
}
if [ "$with_tests" -eq 1 ] && ! osslsigncode_signs_scripts; then
  codename=$(sed -n "s/^VERSION_CODENAME=//p" /etc/os-release)
  echo "deb http://deb.debian.org/debian $codename-backports main" |
    $sudo tee /etc/apt/sources.list.d/velorin-backports.list >/dev/null
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    -t "$codename-backports" osslsigncode
fi

# The tests of the PowerShell module and the fleet scripts (scripts/test-powershell.sh):
# PowerShell 7.6.10 as a .NET global tool in ~/.dotnet/tools, Pester 5.7.1 in build/pester and
# the reference assemblies of the Windows PowerShell 5.1 check in build/ps51-references, all from
# NuGet through the .NET SDK, which is no Debian package.
install_powershell_tests() {
  if ! command -v dotnet >/dev/null; then
    echo "install-deps.sh: the .NET SDK (dotnet) is missing. The PowerShell tests need it to" >&2
    echo "install PowerShell and Pester from NuGet; install the .NET SDK and run this again." >&2
    exit 1
  fi
  local installed
  installed=$(dotnet tool list --global | awk 'tolower($1) == "powershell" { print $2 }')
  if [ "$installed" != 7.6.10 ]; then
    [ -n "$installed" ] && dotnet tool uninstall --global PowerShell
    # Without a version the tool install takes 7.7.0, which does not install here.
    dotnet tool install --global PowerShell --version 7.6.10
  fi
  scripts/restore-pester.sh build/pester
  scripts/restore-ps51-references.sh build/ps51-references
}
# An if, not `[ ... ] && ...`: as the last command that would make --build exit 1.
if [ "$with_tests" -eq 1 ]; then
  install_powershell_tests
fi
exit 0
