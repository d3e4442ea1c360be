#!/bin/bash
# run-bench.sh [--dll PATH] [tcpbench options]: runs tcpbench with the 32-bit
# DLL (dist/x86, or PATH: another build to compare) under 32-bit Wine in the
# emulated machine and prints what it printed there.
set -uo pipefail
. "$(dirname "$0")/machine.sh"
dist="$QEMU32_DIR/../../dist/x86"
dll="$dist/tcp.dll"
if [ "${1:-}" = --dll ] && [ $# -ge 2 ]; then
  dll=$2
  shift 2
fi

fail() {
  echo "qemu32: FAILED: $*"
  exit 1
}

for file in "$dist/tcpbench.exe" "$dll"; do
  [ -f "$file" ] || fail "$file is missing: build tcpbench with the mingw-x86 preset first"
done
"$QEMU32_DIR/build-image.sh" || fail "the emulated 32-bit machine could not be built (see the lines above)"

share=$(mktemp -d)
trap 'rm -rf "$share"' EXIT
qemu32_new_share "$share"
cp "$dist/tcpbench.exe" "$share/"
cp "$dll" "$share/tcp.dll"
: >"$share/args"
[ $# -eq 0 ] || printf '%q ' "$@" >"$share/args"
cat >"$share/job.sh" <<'JOB'
. /mnt/share/guest-wine.sh
# The programs run from the machine's own disk: Wine cannot run them from the share.
mkdir -p /root/run
cp /mnt/share/tcpbench.exe /mnt/share/tcp.dll /root/run/
cd /root/run
eval "timeout -k 10 1200 wine tcpbench.exe $(cat /mnt/share/args)" </dev/null >/mnt/share/bench.out 2>&1
echo $? >/mnt/share/bench.status
wineserver -k
JOB
qemu32_run_job "$share" 1500 bench tcpbench
