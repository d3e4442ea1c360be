#!/bin/bash
# run-tests.sh TEST_DIR RESULTS_DIR
# Runs every Windows test program in TEST_DIR (built for i686, with tcp.dll
# beside them) under 32-bit Wine in the emulated machine, in one boot, and
# leaves each program's output and exit status in RESULTS_DIR.
set -uo pipefail
. "$(dirname "$0")/machine.sh"
test_dir=$1 results=$2

"$QEMU32_DIR/build-image.sh" || { echo "qemu32: FAILED: the emulated 32-bit machine could not be built"; exit 1; }

share=$(mktemp -d)
trap 'rm -rf "$share"' EXIT
mkdir -p "$share/bin"
cp "$test_dir"/*.exe "$test_dir"/tcp.dll "$share/bin/"
cat >"$share/job.sh" <<'JOB'
# Programs run from the machine's own disk: Wine cannot run them from the share.
mkdir -p /root/run /mnt/share/results
cp /mnt/share/bin/* /root/run/
cd /root/run
export WINEPREFIX=/root/.wine WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ru_RU.UTF-8
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:1
sleep 2
wineserver -p
wine cmd /c exit >/dev/null 2>&1
for program in *.exe; do
  name=${program%.exe}
  echo "guest: running $name"
  timeout 900 wine "$program" >"/mnt/share/results/$name.out" 2>&1
  echo $? >"/mnt/share/results/$name.status"
done
wineserver -k
JOB

echo "qemu32: booting the emulated machine to run $(ls "$share/bin" | grep -c '\.exe$') test programs"
started=$(date +%s)
qemu32_boot "$QEMU32_CACHE" "$share" 1500 -snapshot >"$share/console.log" 2>&1
status=$?
echo "qemu32: machine ran for $(( $(date +%s) - started )) s"
rm -rf "$results"
mkdir -p "$results"
cp "$share"/results/* "$results/" 2>/dev/null
if ! ls "$results"/*.status >/dev/null 2>&1; then
  tail -30 "$share/console.log"
  echo "qemu32: FAILED: the emulated machine ran no test program (qemu exit status $status)"
  exit 1
fi
exit 0
