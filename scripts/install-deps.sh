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
test_packages=(googletest mingw-w64 wine64 wine unzip clang libclang-rt-dev libbenchmark-dev valgrind time)

usage() {
  echo "usage: $0 [--build]" >&2
  exit 2
}

groups=(build tests)
case "${1-}" in
  "") ;;
  --build) groups=(build) ;;
  *) usage ;;
esac
[ $# -le 1 ] || usage

packages=()
for group in "${groups[@]}"; do
  case "$group" in
    build) packages+=("${build_packages[@]}") ;;
    tests) packages+=("${test_packages[@]}") ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests of the PowerShell module and the fleet scripts (scripts/test-powershell.sh):
# PowerShell 7.6.10 as a .NET global tool in ~/.dotnet/tools and Pester 5.7.1 in build/pester,
# both from NuGet through the .NET SDK, which is no Debian package.
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
}
for group in "${groups[@]}"; do
  [ "$group" = tests ] && install_powershell_tests
done
