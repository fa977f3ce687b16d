#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time; any crash, leak or
# sanitizer report fails the run. The configuration-file reader, which takes whatever file an
# administrator hands the tool, runs FUZZ_READER_SECONDS (default 60); the other targets share
# FUZZ_SECONDS (default 60 in all). FUZZ_BUILD_DIR names the build directory (default build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
total=${FUZZ_SECONDS:-60}
reader_seconds=${FUZZ_READER_SECONDS:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELORIN_FUZZ=ON -DVELORIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}"
mapfile -t targets < <(find "$build/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort)
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz target built"; exit 1; }
others=$(( ${#targets[@]} > 1 ? ${#targets[@]} - 1 : 1 ))
shared=$(( total / others ))
[ "$shared" -ge 5 ] || shared=5
for target in "${targets[@]}"; do
  name=$(basename "$target")
  each=$shared
  [ "$name" = fuzz_config_reader ] && each=$reader_seconds
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
  # The machine-file parser starts from the machines the tests share as well.
  [ "$name" = fuzz_machine_file ] && cp tests/data/machines/*.machine "$corpus/"
  echo "== $name for ${each}s"
  "$target" -max_total_time="$each" -print_final_stats=0 "$corpus" >"$build/$name.log" 2>&1 || {
    tail -n 60 "$build/$name.log"; echo "$name found a fault"; exit 1; }
done
echo "fuzzers: ${#targets[@]} passed, 0 failed"
