#!/bin/bash
# Runs tcphost with the 32-bit DLL (dist/x86) under 32-bit Wine in the
# emulated machine and prints what it printed there.
set -uo pipefail
. "$(dirname "$0")/machine.sh"
dist="$QEMU32_DIR/../../dist/x86"

fail() {
  echo "qemu32: FAILED: $*"
  exit 1
}

for file in tcphost.exe tcp.dll; do
  [ -f "$dist/$file" ] || fail "dist/x86/$file is missing: build the mingw-x86 preset first"
done
"$QEMU32_DIR/build-image.sh" || fail "the emulated 32-bit machine could not be built (see the lines above)"

share=$(mktemp -d)
trap 'rm -rf "$share"' EXIT
qemu32_new_share "$share"
cp "$dist/tcphost.exe" "$dist/tcp.dll" "$share/"
cat >"$share/job.sh" <<'JOB'
. /mnt/share/guest-wine.sh
# The programs run from the machine's own disk: Wine cannot run them from the share.
mkdir -p /root/run
cp /mnt/share/tcphost.exe /mnt/share/tcp.dll /root/run/
cd /root/run
timeout -k 10 300 wine tcphost.exe tcp.dll </dev/null >/mnt/share/demo.out 2>&1
echo $? >/mnt/share/demo.status
wineserver -k
JOB
qemu32_boot "$QEMU32_CACHE" "$share" 600 -snapshot >"$share/console.log" 2>&1
if [ ! -f "$share/demo.status" ]; then
  tail -n 30 "$share/console.log"
  fail "tcphost did not run in the emulated machine"
fi
cat "$share/demo.out"
exit "$(cat "$share/demo.status")"
