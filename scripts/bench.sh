#!/bin/bash
# Builds the benchmarks in Release and runs them: the text commands natively
# (a table beside memcpy), then tcpbench, the receive benchmark, under Wine
# with the 64-bit DLL. tcpbench prints last, so the last line is its summary.
#
#   scripts/bench.sh [--x86] [--chunked] [--size MiB] [--runs R]
#
# --x86 runs tcpbench with the 32-bit DLL in the emulated 32-bit machine
# instead (32 MiB unless --size says otherwise; only its ratio means much).
# The other options go to tcpbench.
set -uo pipefail
cd "$(dirname "$0")/.."

x86=false
tcpbench_args=()
for arg in "$@"; do
  if [ "$arg" = --x86 ]; then x86=true; else tcpbench_args+=("$arg"); fi
done

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

if $x86; then preset=mingw-x86; else preset=mingw-x64; fi
quietly "build/bench-$preset.log" cmake --preset "$preset" &&
  quietly "build/bench-$preset.log" cmake --build --preset "$preset" --target tcpbench ||
  fail "building tcpbench ($preset)"

echo "=== text commands (native, Release)"
"$native_dir/benchmarks/http_commands_bench" 2>&1 || fail "the native benchmark"

if $x86; then
  echo "=== tcpbench, 32-bit DLL in the emulated 32-bit machine"
  [[ " ${tcpbench_args[*]} " == *" --size "* ]] || tcpbench_args+=(--size 32)
  exec scripts/qemu32/run-bench.sh "${tcpbench_args[@]}"
fi
# A prefix of its own: a test run elsewhere on this machine ends with
# "wineserver -k" on the shared prefix, which would stop tcpbench midway, and
# its programs would share tcpbench's wineserver.
: "${HOME:=$(getent passwd "$(id -u)" | cut -d: -f6)}"
export TCP_WINEPREFIX="${TCP_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/tcpplug/wine64-bench}"
echo "=== tcpbench, 64-bit DLL under Wine (load: $(cut -d' ' -f1-3 /proc/loadavg))"
exec scripts/with-wine.sh scripts/wine-run.sh dist/x64/tcpbench.exe "${tcpbench_args[@]}"
