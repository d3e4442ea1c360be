#!/bin/bash
# Runs tcphost with the 32-bit DLL (dist/x86) under 32-bit Wine in the
# emulated machine and prints what it printed there.
set -uo pipefail
. "$(dirname "$0")/machine.sh"
dist="$QEMU32_DIR/../../dist/x86"

"$QEMU32_DIR/build-image.sh" || { echo "qemu32: FAILED: the emulated 32-bit machine could not be built"; exit 1; }
share=$(mktemp -d)
trap 'rm -rf "$share"' EXIT
cp "$dist/tcphost.exe" "$dist/tcp.dll" "$share/"
cat >"$share/job.sh" <<'JOB'
mkdir -p /root/run
cp /mnt/share/tcphost.exe /mnt/share/tcp.dll /root/run/
cd /root/run
export WINEPREFIX=/root/.wine WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ru_RU.UTF-8
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:1
sleep 2
timeout 300 wine tcphost.exe tcp.dll >/mnt/share/demo.out 2>&1
echo $? >/mnt/share/demo.status
wineserver -k
JOB
qemu32_boot "$QEMU32_CACHE" "$share" 900 -snapshot >"$share/console.log" 2>&1
if [ ! -f "$share/demo.status" ]; then
  tail -30 "$share/console.log"
  echo "qemu32: FAILED: tcphost did not run in the emulated machine"
  exit 1
fi
cat "$share/demo.out"
exit "$(cat "$share/demo.status")"
