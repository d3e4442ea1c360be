#!/bin/bash
# The main job: builds tcp.dll and runs tcphost, a small host program, with
# the 64-bit DLL under Wine here, then with the 32-bit DLL in the emulated
# 32-bit machine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in mingw-x64 mingw-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target tcphost >/dev/null
done

echo "=== tcphost with dist/x64/tcp.dll under Wine"
(cd dist/x64 && ../../scripts/with-wine.sh ../../scripts/wine-run.sh tcphost.exe tcp.dll)

echo "=== tcphost with dist/x86/tcp.dll under 32-bit Wine in the emulated machine"
scripts/qemu32/run-demo.sh
