#!/usr/bin/env bash
# Usage: scripts/sign-release.sh FILE...
#
# Signs each FILE in place with an Authenticode signature, SHA-256: executables and DLLs, MSI
# packages, and PowerShell files (.ps1, .psm1, .psd1, .ps1xml; osslsigncode 2.8 or later). The
# certificate, its chain and its key come from the PKCS#12 file named in VELORIN_SIGN_PFX; its
# password from VELORIN_SIGN_PASSWORD (none when unset) reaches osslsigncode through a pipe,
# never on a command line or in a file. With VELORIN_SIGN_TIMESTAMP set to an RFC 3161
# time-stamp server, each signature is time-stamped, so it stays valid after the certificate
# expires. cpack in build-windows signs its packages with this when VELORIN_SIGN_PFX is set.
set -euo pipefail
usage="usage: $0 FILE... (with VELORIN_SIGN_PFX naming the .pfx file)"
pfx=${VELORIN_SIGN_PFX:?$usage}
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }
if [ ! -f "$pfx" ] || [ ! -r "$pfx" ]; then
  echo "sign-release.sh: cannot read $pfx" >&2
  exit 1
fi
command -v osslsigncode >/dev/null || {
  echo "sign-release.sh: osslsigncode is missing; scripts/install-deps.sh installs it" >&2; exit 1; }

options=(-pkcs12 "$pfx" -h sha256 -n VelorinBiosConfigTool)
[ -z "${VELORIN_SIGN_TIMESTAMP:-}" ] || options+=(-ts "$VELORIN_SIGN_TIMESTAMP")

# The signed copy is written beside the file and renamed over it, so an interrupted run leaves
# the file as it was; the trap removes a copy left half written.
signed=""
trap '[ -z "$signed" ] || rm -f "$signed"' EXIT
for file in "$@"; do
  [ -f "$file" ] || { echo "sign-release.sh: $file is no file" >&2; exit 1; }
  signed="$file.signing.$$"
  # printf is a shell builtin: the password is in no process's command line.
  if ! osslsigncode sign "${options[@]}" -readpass /dev/fd/3 -in "$file" -out "$signed" \
    3< <(printf '%s' "${VELORIN_SIGN_PASSWORD-}") >/dev/null; then
    echo "sign-release.sh: signing $file failed" >&2
    exit 1
  fi
  chmod --reference="$file" "$signed"
  mv -f "$signed" "$file"
  signed=""
  echo "signed $file"
done
