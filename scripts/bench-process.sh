#!/usr/bin/env bash
# Whole-process figures: runs /get, /get /o and /set of the built tool on generated machines of
# 1, 100, 1,000 and 10,000 items (8 options each) and prints, per command and size, the wall
# time and processor time of one run (user and system), its peak memory, and the cost per item: what a run costs
# beyond a one-item run, divided by the extra items, so that start-up does not hide growth.
# Then the figures of inputs at the tool's bounds (a 16 MiB configuration file for /set and for
# /check, its report also through a pipe, a provider that claims 0xFFFF items), and the
# provider calls of each command with the time they take at 1, 10 and 30 ms a call. Ends with
# the ratio of the cost per item at 10,000 items to that at 100 and the targets.
# TOOL=path measures another build of the tool; KEEP=1 keeps the generated files.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (scripts/install-deps.sh)"; exit 1; }
if [ -z "${TOOL:-}" ]; then
  cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORIN_BENCH=ON >/dev/null
  cmake --build build-bench -j "${JOBS:-2}" --target VelorinBiosConfigTool >/dev/null
  TOOL=$PWD/build-bench/VelorinBiosConfigTool
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/velorin-bench.XXXXXX")
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT
cd "$work"

sizes=(1 100 1000 10000)
# Item codes start at 0x4000, clear of the password items 0x3000 and 0x3001.
machine() {
  awk -v n="$1" 'BEGIN {
    print "manufacturer \"Velorin Corporation\""; print "supervisor-password \"admin\""
    for (i = 0; i < n; i++) {
      printf "item 0x%04X \"Setting %05d\" current %d\n", 16384 + i, i, 1 + i % 8
      for (j = 1; j <= 8; j++) printf "  option \"Choice %d of %05d\"\n", j, i
    } }'
}
# Picks for every item the option after its current one, so that every block changes. A second
# argument m keeps the first m blocks only.
config() {
  awk -v n="${2:-$1}" 'BEGIN {
    for (i = 0; i < n; i++) {
      printf "+++Setting %05d\r\n", i; chosen = (1 + i % 8) % 8 + 1
      for (j = 1; j <= 8; j++) printf "%sChoice %d of %05d\r\n", (j == chosen ? "*" : ""), j, i
      printf "\r\n"
    } }'
}
# Runs per batch; each figure is the best of five batches, which keeps other load on the
# machine out of the figures as far as it can.
batch_runs() { if [ "$1" -le 100 ]; then echo 60; elif [ "$1" -le 1000 ]; then echo 5; else echo 1; fi; }
batches=5

declare -A wall cpu peak
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
# A /set after the first of a batch sets every item again to the option it already has: the
# same provider calls and the same save, so a batch needs no reset between its runs.
run_batch() {  # runs items command...
  local runs=$1 n=$2; shift 2
  rm -f "m$n.txt.nvram"
  for ((r = 0; r < runs; r++)); do VELORIN_MACHINE="m$n.txt" "$@" >/dev/null || return 1; done
}
run_case() {  # name items command...
  local name=$1 n=$2; shift 2
  local runs e u s b; runs=$(batch_runs "$n")
  wall[$name,$n]=""; cpu[$name,$n]=""
  for ((b = 0; b < batches; b++)); do
    { TIMEFORMAT='%3R %3U %3S'; time (run_batch "$runs" "$n" "$@"); } 2>t.txt ||
      { echo "$name on $n items failed"; exit 1; }
    read -r e u s < t.txt
    wall[$name,$n]=$(best "$(awk -v e="$e" -v r="$runs" 'BEGIN { printf "%.6f", e / r }')" "${wall[$name,$n]}")
    cpu[$name,$n]=$(best "$(awk -v u="$u" -v s="$s" -v r="$runs" 'BEGIN { printf "%.6f", (u + s) / r }')" "${cpu[$name,$n]}")
  done
  rm -f "m$n.txt.nvram"
  VELORIN_MACHINE="m$n.txt" /usr/bin/time -f "%M" -o t.txt "$@" >/dev/null
  peak[$name,$n]=$(cat t.txt)
}

for n in "${sizes[@]}"; do
  machine "$n" > "m$n.txt"
  config "$n" > "set$n.txt"
  run_case get "$n" "$TOOL" /get
  run_case get-o "$n" "$TOOL" /get /o "out$n.txt"
  run_case set "$n" "$TOOL" /set "set$n.txt" /pw admin
done

per_item() {  # name items kind(wall|cpu) -> microseconds per item beyond the one-item run
  local -n table=$3
  awk -v a="${table[$1,$2]}" -v b="${table[$1,1]}" -v n="$2" 'BEGIN { printf "%.2f", (a - b) / (n - 1) * 1e6 }'
}
printf '%-7s %7s %10s %10s %10s %14s %14s\n' command items wall_s cpu_s peak_MB wall_us/item cpu_us/item
for name in get get-o set; do
  for n in "${sizes[@]}"; do
    wi=-; ci=-
    [ "$n" -gt 1 ] && wi=$(per_item "$name" "$n" wall) && ci=$(per_item "$name" "$n" cpu)
    printf '%-7s %7s %10.3f %10.3f %10.1f %14s %14s\n' "$name" "$n" "${wall[$name,$n]}" \
      "${cpu[$name,$n]}" "$(awk -v k="${peak[$name,$n]}" 'BEGIN { print k / 1024 }')" "$wi" "$ci"
  done
done

# Inputs at the tool's bounds: a configuration file of 16 MiB (the largest /set reads) of empty
# lines and of one line, and a provider that claims 0xFFFF items but has one. /check of a
# 16 MiB file of 2,097,152 blocks that all name one item whose current value is 1,000
# characters long, each block differing. Best of three.
machine 1 > bound.txt
printf 'answer EnumSetting index=0xFFFF itemcode="FFFF"\n' | cat m1.txt - > phantom.txt
head -c 16777216 /dev/zero | tr '\0' '\n' > empty-lines.txt
{ head -c 16777215 /dev/zero | tr '\0' 'x'; printf '\n'; } > one-line.txt
awk 'BEGIN {
  print "manufacturer \"Velorin Corporation\""; print "item 0x4000 \"W\" current 2"
  print "  option \"E\""; wide = sprintf("%1000s", ""); gsub(/ /, "x", wide)
  print "  option \"" wide "\"" }' > wide.txt
awk 'BEGIN { for (i = 0; i < 2097152; i++) printf "+++W\n*E\n" }' > differing.txt
declare -A bound_wall bound_cpu bound_peak
bound_case() {  # name machine command...
  local name=$1 file=$2 b e u s m; shift 2
  for ((b = 0; b < 3; b++)); do
    rm -f "$file.nvram"
    VELORIN_MACHINE="$file" /usr/bin/time -f "%e %U %S %M" -o t.txt "$@" >/dev/null || true
    read -r e u s m < <(tail -n 1 t.txt)  # after "Command exited with ..." on a failing run
    bound_wall[$name]=$(best "$e" "${bound_wall[$name]:-}")
    bound_cpu[$name]=$(best "$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }')" "${bound_cpu[$name]:-}")
    bound_peak[$name]=$(best "$m" "${bound_peak[$name]:-}")
  done
}
bound_case set-16MiB-empty-lines bound.txt "$TOOL" /set empty-lines.txt /pw admin
bound_case set-16MiB-one-line bound.txt "$TOOL" /set one-line.txt /pw admin
bound_case get-0xFFFF-claimed phantom.txt "$TOOL" /get
bound_case check-16MiB-differing wide.txt "$TOOL" /check differing.txt
# The same report through a pipe, as a script that reads the tool's output receives it.
# shellcheck disable=SC2016  # $0 is expanded by the inner shell
bound_case check-16MiB-piped wide.txt bash -c '"$0" /check differing.txt | cat >/dev/null' "$TOOL"
bound_names=(set-16MiB-empty-lines set-16MiB-one-line get-0xFFFF-claimed check-16MiB-differing
  check-16MiB-piped)
printf '\n%-22s %10s %10s %10s\n' input wall_s cpu_s peak_MB
for name in "${bound_names[@]}"; do
  printf '%-22s %10.3f %10.3f %10.1f\n' "$name" "${bound_wall[$name]}" "${bound_cpu[$name]}" \
    "$(awk -v k="${bound_peak[$name]}" 'BEGIN { print k / 1024 }')"
done

# Provider calls per command, as the simulated machine counts them (VELORIN_CALL_LOG), with
# the time they take on a firmware that answers in 1, 10 or 30 ms, beside the calls of the
# tool that read the whole catalogue for /check (before). The counts do not depend on the
# machine's load: one run each.
calls_of() {  # machine command... -> the run's total of provider calls
  local file=$1; shift
  rm -f calls.log "$file.nvram"
  VELORIN_CALL_LOG=calls.log VELORIN_MACHINE="$file" "$@" >/dev/null || true
  awk '{ print $2 }' calls.log
}
printf '\n%-14s %6s %7s %8s %8s %8s %8s %8s %10s\n' command items entries calls before \
  s_at_1ms s_at_10ms s_at_30ms before_30ms
call_row() {  # command items entries before machine command...
  local name=$1 n=$2 m=$3 before=$4 calls; shift 4
  calls=$(calls_of "$@")
  awk -v c="$calls" -v b="$before" -v name="$name" -v n="$n" -v m="$m" 'BEGIN {
    printf "%-14s %6d %7s %8d %8d %8.2f %8.2f %8.2f %10.2f\n", name, n, m, c, b,
      c * 0.001, c * 0.010, c * 0.030, b * 0.030 }'
}
for n in 150 10000; do
  machine "$n" > "c$n.txt"
  whole=$((12 * n + 2))  # (k + 4) n + 2 with k = 8 options
  call_row /get "$n" - "$whole" "c$n.txt" "$TOOL" /get
  for m in 3 30 "$n"; do
    config "$n" "$m" > "c$n-$m.txt"
    call_row /check "$n" "$m" "$whole" "c$n.txt" "$TOOL" /check "c$n-$m.txt"
  done
  call_row "/check /i" "$n" 1 "$whole" "c$n.txt" "$TOOL" /check /i "Setting 00001" "Choice 2 of 00001"
  call_row /set "$n" 3 $((whole + 3 + 2)) "c$n.txt" "$TOOL" /set "c$n-3.txt" /pw admin
  call_row /capture "$n" - $((whole + 1)) "c$n.txt" "$TOOL" /capture "capture$n.txt"
done
three=$(calls_of c150.txt "$TOOL" /check c150-3.txt)

missed=0
verdict() {  # label value limit
  if awk -v v="$2" -v l="$3" 'BEGIN { exit !(v <= l) }'; then echo "met:    $1 = $2 (at most $3)"
  else echo "MISSED: $1 = $2 (at most $3)"; missed=1; fi
}
for name in get get-o set; do
  ratio=$(awk -v a="$(per_item "$name" 10000 cpu)" -v b="$(per_item "$name" 100 cpu)" \
    'BEGIN { printf "%.2f", a / b }')
  verdict "$name cost per item, 10000 items / 100 items (processor time)" "$ratio" 1.3
done
verdict "/get of 10000 items, wall seconds" "${wall[get,10000]}" 1.0
verdict "/set of 10000 blocks, peak MB" "$(awk -v k="${peak[set,10000]}" 'BEGIN { printf "%.1f", k / 1024 }')" 64
verdict "/check of 3 entries on 150 items of 8 options, provider calls" "$three" $((2 * 150 + 10 * 3 + 16))
for name in set-16MiB-empty-lines set-16MiB-one-line check-16MiB-differing check-16MiB-piped; do
  verdict "$name, peak MB" \
    "$(awk -v k="${bound_peak[$name]}" 'BEGIN { printf "%.1f", k / 1024 }')" 256
done
exit "$missed"
