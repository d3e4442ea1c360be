#!/bin/bash
# Builds every configuration and runs every test: the portable code natively
# (under AddressSanitizer and UndefinedBehaviorSanitizer), the 64-bit DLL under
# Wine, and the 32-bit DLL (the product) in the emulated 32-bit machine; then
# packages the tested builds and checks the archive.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || { echo "test: installing the dependencies failed"; exit 1; }

passed=0
failed=0
failures=()

# run_stage NAME COMMAND...: runs one stage, counts CTest's verdicts from its
# closing line (or a script's "NAME: N ... passed, M failed").
run_stage() {
  local name=$1
  shift
  echo "=== $name"
  local started=$SECONDS log
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  echo "=== $name: $((SECONDS - started)) s"
  local summary
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  local targets
  targets=$(grep -E '^(fuzz|package): [0-9]+ [a-z]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  rm -f "$log"
  if [ -n "$targets" ]; then
    passed=$((passed + $(sed -E 's/^[a-z]+: ([0-9]+) .*/\1/' <<< "$targets")))
    failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<< "$targets")))
    summary=$targets
  elif [ -n "$summary" ]; then
    local total failures_here
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<< "$summary")
    failures_here=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<< "$summary")
    passed=$((passed + total - failures_here))
    failed=$((failed + failures_here))
  fi
  if [ "$status" -ne 0 ]; then
    failures+=("$name")
    [ -n "$summary" ] || failed=$((failed + 1))
  fi
}

build() {
  cmake --preset "$1" && cmake --build --preset "$1"
}

# The archive of the builds just tested, without building anything again.
package() {
  scripts/package.sh --no-build &&
    tests/package/check_package.sh "dist/tcp-dll-$(scripts/package.sh --version).zip" . build/mingw-x86 build/mingw-x64
}

run_stage "native: build" build native
run_stage "native: tests" ctest --preset native
run_stage "fuzz: short runs of every target" scripts/fuzz.sh -t 3
run_stage "mingw-x64: build" build mingw-x64
run_stage "mingw-x64: tests under Wine" scripts/with-wine.sh ctest --preset mingw-x64
run_stage "mingw-x86: build" build mingw-x86
run_stage "mingw-x86: tests (static checks, emulated 32-bit machine)" ctest --preset mingw-x86
run_stage "package: the archive of the tested builds" package

echo
for name in "${failures[@]}"; do echo "FAILED: $name"; done
echo "$passed passed, $failed failed"
[ ${#failures[@]} -eq 0 ]
