#!/usr/bin/env bash
# Usage: scripts/test-signing.sh [BUILD_DIR]   (default build-windows, built)
#
# Proves the signed release: a throwaway CA and a code-signing certificate made with openssl
# for this run only; cpack in BUILD_DIR with VELORIN_SIGN_PFX and VELORIN_SIGN_PASSWORD set,
# into a folder of its own; then
# - every file of an extension Windows verifies (the executable; .ps1, .psm1, .psd1, .ps1xml,
#   .psc1, .cdxml, which PowerShell verifies under AllSigned) in the zip and in the MSI, and the
#   MSI itself, has an Authenticode SHA-256 signature that verifies against that CA
#   (osslsigncode verify);
# - one changed byte in the executable, in a script, in the format file or in the MSI fails the
#   verification;
# - the password was on no command line (osslsigncode runs behind a recording wrapper);
# - the Pester tests of the module and the fleet scripts pass on the signed files (with the
#   Linux build in build/, when it is there);
# - the packages of a build without VELORIN_SIGN_PFX carry no signature.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
root=$PWD
win=${1:-build-windows}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win/CMakeCache.txt")

# shellcheck source=scripts/check-results.sh
source scripts/check-results.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== a throwaway CA and code-signing certificate"
# The test's own password, handed to openssl and cpack through the environment only.
VELORIN_SIGN_PASSWORD="throwaway $RANDOM$RANDOM"
export VELORIN_SIGN_PASSWORD
ca=$work/ca
mkdir -p "$ca"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Velorin Throwaway Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout "$ca/ca.key" -out "$ca/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Velorin Throwaway Code Signing" \
  -keyout "$ca/signer.key" -out "$ca/signer.csr" 2>/dev/null
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature \
  extendedKeyUsage=codeSigning >"$ca/signer.ext"
openssl x509 -req -days 2 -in "$ca/signer.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" \
  -CAcreateserial -extfile "$ca/signer.ext" -out "$ca/signer.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$ca/signer.key" -in "$ca/signer.pem" -certfile "$ca/ca.pem" \
  -passout env:VELORIN_SIGN_PASSWORD -out "$ca/signer.pfx"

echo "== cpack, signed"
# osslsigncode behind a wrapper that records every command line it is given.
mkdir -p "$work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\nexec %s "$@"\n' \
  "$work/osslsigncode-arguments.txt" "$(command -v osslsigncode)" >"$work/bin/osslsigncode"
chmod +x "$work/bin/osslsigncode"
packages=$work/packages
(cd "$win" && PATH="$work/bin:$PATH" VELORIN_SIGN_PFX="$ca/signer.pfx" \
  cpack -B "$packages" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
zip=$packages/VelorinBiosConfigTool-$version-win64.zip
msi=$packages/VelorinBiosConfigTool-$version-x64.msi
mkdir -p "$work/zip" "$work/msi"
unzip -q "$zip" -d "$work/zip"
(cd "$work/msi" && msiextract "$msi" >/dev/null)

verifies() { osslsigncode verify -CAfile "$ca/ca.pem" -in "$1" 2>&1 | grep -qx 'Succeeded'; }
signed_by_sha256() {
  osslsigncode verify -CAfile "$ca/ca.pem" -in "$1" 2>&1 | grep -q '^Message digest algorithm *: SHA256$'
}
# What Windows verifies: the executable, and every file PowerShell checks under AllSigned
# (scripts, modules, manifests, format and type files, console and CIM command files).
verified='\.(exe|ps1|psm1|psd1|ps1xml|psc1|cdxml)$'
check_signed() {  # check_signed LABEL FOLDER: every file of a verified extension in FOLDER
  local count=0 unsigned=0 file
  while IFS= read -r file; do
    count=$((count + 1))
    if ! verifies "$2/$file" || ! signed_by_sha256 "$2/$file"; then
      fail "$1: $file has no SHA-256 signature that verifies against the CA"
      unsigned=$((unsigned + 1))
    fi
  done < <(cd "$2" && find . -type f | sed 's|^\./||' | grep -iE "$verified")
  local expected
  expected=$(git ls-files deploy powershell/VelorinBios | grep -ciE "$verified")
  if [ "$count" -ne $((expected + 1)) ]; then
    fail "$1: $count files of a verified extension, expected $((expected + 1))"
  elif [ "$unsigned" -eq 0 ]; then
    pass "$1: the executable and all $expected PowerShell files (.ps1xml included) verify against the CA (SHA-256)"
  fi
}
check_signed zip "$work/zip"
check_signed MSI "$work/msi"
if verifies "$msi" && signed_by_sha256 "$msi"; then
  pass "the MSI's own signature verifies against the CA (SHA-256)"
else
  fail "the MSI's signature does not verify"
fi

echo "== one changed byte"
changed() {  # changed FILE OFFSET: a copy of FILE with the byte at OFFSET inverted
  local copy
  copy=$work/changed-$(basename "$1")
  cp "$1" "$copy"
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$copy" | tr -d ' ')
  printf '%b' "\\0$(printf '%o' $((255 - byte)))" | dd of="$copy" bs=1 seek="$2" conv=notrunc status=none
  echo "$copy"
}
exe=$work/zip/VelorinBiosConfigTool.exe
script=$work/zip/VelorinBios/VelorinBios.psm1
format=$work/zip/VelorinBios/VelorinBios.Format.ps1xml
for target in "$exe 4096" "$script 10" "$format 100" "$msi $(($(stat -c %s "$msi") / 2))"; do
  read -r file offset <<<"$target"
  copy=$(changed "$file" "$offset")
  if verifies "$copy"; then
    fail "$(basename "$file") with byte $offset changed still verifies"
  else
    pass "$(basename "$file") with byte $offset changed fails the verification"
  fi
done

echo "== the password"
if grep -qF "$VELORIN_SIGN_PASSWORD" "$work/osslsigncode-arguments.txt" "$work/cpack.log"; then
  fail "the password is on an osslsigncode command line or in cpack's output"
else
  pass "$(wc -l <"$work/osslsigncode-arguments.txt") osslsigncode runs, the password on none of their command lines"
fi

echo "== Pester on the signed module and fleet scripts"
if [ -x build/VelorinBiosConfigTool ] && [ -d build/pester ]; then
  # The tests find the module and the scripts from their own folder, two levels up.
  tree=$work/signed-tree
  mkdir -p "$tree/powershell" "$tree/tests"
  cp -r "$work/zip/VelorinBios" "$tree/powershell/"
  cp -r "$work/zip/deploy" "$tree/"
  cp -r tests/powershell "$tree/tests/"
  if PATH="$PATH:$HOME/.dotnet/tools" pwsh -NoProfile -NonInteractive \
    -File "$tree/tests/powershell/Invoke-PesterTests.ps1" -Tool "$root/build/VelorinBiosConfigTool" \
    -Pester "$root/build/pester/packages/pester/5.7.1/tools/Pester.psd1" >"$work/pester.log" 2>&1; then
    pass "$(tail -n 1 "$work/pester.log") on the signed files"
  else
    fail "Pester on the signed files:"; tail -n 30 "$work/pester.log"
  fi
else
  echo "note: no Linux build in build/ (or no build/pester): Pester on the signed files skipped"
fi

echo "== without VELORIN_SIGN_PFX"
if osslsigncode verify -in "$win/VelorinBiosConfigTool-$version-x64.msi" >/dev/null 2>&1; then
  fail "the MSI of the unsigned build carries a signature"
else
  pass "the unsigned build's MSI carries no signature"
fi
unzip -q -o "$win/VelorinBiosConfigTool-$version-win64.zip" VelorinBiosConfigTool.exe -d "$work/unsigned"
if osslsigncode verify -in "$work/unsigned/VelorinBiosConfigTool.exe" >/dev/null 2>&1; then
  fail "the executable of the unsigned build carries a signature"
else
  pass "the unsigned build's executable carries no signature"
fi
checks_passed
