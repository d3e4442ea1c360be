#!/bin/bash
# The main job: a local HTTP server on loopback (tcpserve) and tcphost
# fetching from it through tcp.dll: a plain page, a chunked UTF-8 page with
# Cyrillic text and a 3 MiB binary saved with -o and compared byte for byte.
# First the 64-bit DLL under Wine here, then the 32-bit DLL under 32-bit Wine
# in the emulated machine. Nothing leaves loopback.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in mingw-x64 mingw-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target tcphost tcpserve >/dev/null
done

content=$(mktemp -d)
trap 'rm -rf "$content"' EXIT
scripts/demo-content.sh "$content"

echo "=== tcphost with dist/x64/tcp.dll under Wine"
DEMO_WINE="$PWD/scripts/wine-run.sh" scripts/with-wine.sh scripts/demo-fetches.sh "$PWD/dist/x64" "$content" 18080

echo
echo "=== tcphost with dist/x86/tcp.dll under 32-bit Wine in the emulated machine"
scripts/qemu32/run-demo.sh
