#!/usr/bin/env bash
# Installs what the build and the tests need on Debian (run as root, or with sudo available).
set -euo pipefail
# mingw-w64, wine64, googletest (sources) and unzip: the Windows build, scripts/test-windows.sh
packages=(cmake g++ make libgtest-dev googletest clang libclang-rt-dev mingw-w64 wine64 unzip)
# libbenchmark-dev, valgrind and time: the benchmarks and scripts/valgrind-blackbox.sh
packages+=(libbenchmark-dev valgrind time)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
