#!/bin/bash
# Builds the benchmarks in Release and runs them all: the text commands
# natively (a table beside memcpy), then tcpbench under Wine with the 64-bit
# DLL (receiving plain, chunked, with queued events, and sending), then
# tcpbench with the 32-bit DLL in the emulated 32-bit machine (receiving plain
# and chunked, 32 MiB). It ends with a summary of tcpbench's last lines, so the
# last line is tcpbench's.
#
#   scripts/bench.sh [--no-x86 | --x86] [--chunked] [--events] [--send] [--size MiB] [--runs R] [--dll PATH] [--dll32 PATH]
#
# --chunked, --events or --send runs only that measure of tcpbench (under
# Wine, or with --x86 in the emulated machine); --x86 alone runs only the
# emulated machine's two; --no-x86 leaves them out (they take minutes).
# --size and --runs go to every tcpbench run; --dll (a 64-bit build) to those
# under Wine and --dll32 (a 32-bit build) to those in the emulated machine, to
# measure another build, a baseline say, in place of dist's.
set -uo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/bench.sh [--no-x86 | --x86] [--chunked] [--events] [--send] [--size MiB] [--runs R] [--dll PATH] [--dll32 PATH]" >&2
  exit 2
}

x86_only=false
no_x86=false
chosen=()
common=()
dll=()
dll32=()
while [ $# -gt 0 ]; do
  case "$1" in
    --x86) x86_only=true ;;
    --no-x86) no_x86=true ;;
    --chunked | --events | --send) chosen+=("$1") ;;
    --size | --runs) [ $# -ge 2 ] || usage; common+=("$1" "$2"); shift ;;
    --dll) [ $# -ge 2 ] || usage; dll=(--dll "$2"); shift ;;
    --dll32) [ $# -ge 2 ] || usage; dll32=(--dll "$2"); shift ;;
    *) usage ;;
  esac
  shift
done
if $x86_only && $no_x86; then usage; fi

# Each measure is one tcpbench command line, "plain" standing for none.
x64_measures=()
x86_measures=()
if [ ${#chosen[@]} -gt 0 ]; then
  if $x86_only; then x86_measures=("${chosen[*]}"); else x64_measures=("${chosen[*]}"); fi
else
  $x86_only || x64_measures=(plain --chunked --events --send)
  $no_x86 || x86_measures=(plain --chunked)
fi

fail() {
  echo "bench: FAILED: $*" >&2
  exit 1
}

# quietly LOG COMMAND...: runs a build step, shows its output only when it fails.
quietly() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log" >&2; return 1; }
}

scripts/install-deps.sh || fail "installing the dependencies"

native_dir=build/bench-native
mkdir -p build
quietly build/bench-native.log cmake -S . -B "$native_dir" -DCMAKE_BUILD_TYPE=Release -DTCP_SANITIZE=OFF &&
  quietly build/bench-native.log cmake --build "$native_dir" --target http_commands_bench -j 2 ||
  fail "building the native benchmark"
for preset in mingw-x64 mingw-x86; do
  if [ "$preset" = mingw-x64 ]; then [ ${#x64_measures[@]} -gt 0 ] || continue; fi
  if [ "$preset" = mingw-x86 ]; then [ ${#x86_measures[@]} -gt 0 ] || continue; fi
  quietly "build/bench-$preset.log" cmake --preset "$preset" &&
    quietly "build/bench-$preset.log" cmake --build --preset "$preset" --target tcpbench ||
    fail "building tcpbench ($preset)"
done

echo "=== text commands (native, Release)"
"$native_dir/benchmarks/http_commands_bench" 2>&1 || fail "the native benchmark"

load() { cut -d' ' -f1-3 /proc/loadavg; }
summary=()
# remember LABEL OUTPUT: keeps tcpbench's last line for the summary.
remember() {
  local line
  line=$(grep -aE '^(receive|send): ' "$2" | tail -n 1 | tr -d '\r')
  [ -n "$line" ] || fail "tcpbench ($1) printed no summary line"
  summary+=("$(printf '%-22s %s' "$1:" "$line")")
}

# A prefix of its own: a test run elsewhere on this machine ends with
# "wineserver -k" on the shared prefix, which would stop tcpbench midway, and
# its programs would share tcpbench's wineserver.
: "${HOME:=$(getent passwd "$(id -u)" | cut -d: -f6)}"
export TCP_WINEPREFIX="${TCP_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/tcpplug/wine64-bench}"
output=$(mktemp)
trap 'rm -f "$output"' EXIT
for measure in "${x64_measures[@]}"; do
  read -ra flags <<<"${measure/plain/}"
  echo "=== tcpbench ${measure}, 64-bit DLL under Wine (load: $(load))"
  scripts/with-wine.sh scripts/wine-run.sh dist/x64/tcpbench.exe "${flags[@]}" "${common[@]}" "${dll[@]}" |
    tee "$output"
  [ "${PIPESTATUS[0]}" -eq 0 ] || fail "tcpbench ${measure} under Wine"
  remember "x64 ${measure}" "$output"
done

x86_common=("${common[@]}")
[[ " ${common[*]} " == *" --size "* ]] || x86_common+=(--size 32)
for measure in "${x86_measures[@]}"; do
  read -ra flags <<<"${measure/plain/}"
  echo "=== tcpbench ${measure}, 32-bit DLL in the emulated 32-bit machine (load: $(load))"
  scripts/qemu32/run-bench.sh "${dll32[@]}" "${flags[@]}" "${x86_common[@]}" | tee "$output"
  [ "${PIPESTATUS[0]}" -eq 0 ] || fail "tcpbench ${measure} in the emulated machine"
  remember "x86 ${measure}" "$output"
done

echo "=== tcpbench summary (load: $(load))"
printf '%s\n' "${summary[@]}"
