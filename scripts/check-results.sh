# shellcheck shell=bash
# The results of a checking script: each check prints "ok: ..." or "FAIL: ...", every check
# runs whatever failed before it, and the script's last command, checks_passed, gives its exit
# status. Sourced by the scripts that prove the Windows packages.
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
expect() {  # expect DESCRIPTION ACTUAL WANTED
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: got '$2', wanted '$3'"; fi
}
checks_passed() { [ "$failures" -eq 0 ]; }
