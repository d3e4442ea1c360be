#!/bin/bash
# Builds the libFuzzer targets (preset "fuzz": clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one briefly from its seed corpus in
# tests/fuzz/corpus/NAME/. Fails when any target finds a fault; the input that
# shows it is left in build/fuzz/artifacts/.
#
#   scripts/fuzz.sh                 every target, 10 s each
#   scripts/fuzz.sh -t 3600 NAME... the named targets for an hour each (a long
#                                   run; what it finds joins build/fuzz/corpus/NAME)
#   FUZZ_JOBS=2 scripts/fuzz.sh -t 3600   two fuzzing processes per target (-fork)
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=10
if [ "${1:-}" = "-t" ]; then
  seconds=$2
  shift 2
fi

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz --target fuzz_targets >/dev/null || { echo "fuzz: the build failed"; exit 1; }

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for file in tests/fuzz/*_fuzz.cpp; do
    name=$(basename "$file" _fuzz.cpp)
    targets+=("$name")
  done
fi

mkdir -p build/fuzz/artifacts
failed=()
for name in "${targets[@]}"; do
  work=build/fuzz/corpus/$name
  mkdir -p "$work"
  started=$(date +%s%N)
  parallel=()
  [ "${FUZZ_JOBS:-1}" -gt 1 ] && parallel=(-fork="$FUZZ_JOBS")
  build/fuzz/tests/fuzz/fuzz_$name -max_total_time="$seconds" "${parallel[@]}" \
    -artifact_prefix="build/fuzz/artifacts/$name-" -print_final_stats=1 \
    "$work" "tests/fuzz/corpus/$name" >"build/fuzz/$name.log" 2>&1
  status=$?
  tenths=$((($(date +%s%N) - started) / 100000000))
  elapsed="$((tenths / 10)).$((tenths % 10))"
  runs=$(grep -ao 'stat::number_of_executed_units: *[0-9]*' "build/fuzz/$name.log" | grep -o '[0-9]*$' | tail -1)
  if [ "$status" -eq 0 ]; then
    printf 'fuzz: %-16s passed: %s runs in %s s\n' "$name" "${runs:-?}" "$elapsed"
  else
    printf 'fuzz: %-16s FAILED after %s s:\n' "$name" "$elapsed"
    grep -aE 'ERROR|SUMMARY|deadly signal|Test unit written|runtime error' "build/fuzz/$name.log" | head -8
    failed+=("$name")
  fi
done
echo "fuzz: $((${#targets[@]} - ${#failed[@]})) targets passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ] || { echo "fuzz: failing targets: ${failed[*]}"; exit 1; }
