#!/bin/bash
# Runs the demonstration's fetches (scripts/demo-fetches.sh) with the 32-bit
# DLL (dist/x86) under 32-bit Wine in the emulated machine, server included,
# and prints what they printed there.
set -uo pipefail
. "$(dirname "$0")/machine.sh"
dist="$QEMU32_DIR/../../dist/x86"

fail() {
  echo "qemu32: FAILED: $*"
  exit 1
}

for file in tcphost.exe tcpserve.exe tcp.dll; do
  [ -f "$dist/$file" ] || fail "dist/x86/$file is missing: build tcphost and tcpserve with the mingw-x86 preset first"
done
"$QEMU32_DIR/build-image.sh" || fail "the emulated 32-bit machine could not be built (see the lines above)"

share=$(mktemp -d)
trap 'rm -rf "$share"' EXIT
qemu32_new_share "$share"
mkdir -p "$share/bin"
cp "$dist/tcphost.exe" "$dist/tcpserve.exe" "$dist/tcp.dll" "$share/bin/"
cp "$QEMU32_DIR/../demo-fetches.sh" "$QEMU32_DIR/../demo-content.sh" "$share/"
cat >"$share/job.sh" <<'JOB'
. /mnt/share/guest-wine.sh
# The programs run from the machine's own disk: Wine cannot run them from the share.
mkdir -p /root/run
cp /mnt/share/bin/* /root/run/
bash /mnt/share/demo-content.sh /root/content
DEMO_WINE=wine timeout -k 10 300 bash /mnt/share/demo-fetches.sh /root/run /root/content 18080 >/mnt/share/demo.out 2>&1
echo $? >/mnt/share/demo.status
wineserver -k
JOB
qemu32_run_job "$share" 600 demo "the demonstration"
