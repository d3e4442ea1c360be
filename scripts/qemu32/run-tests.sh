#!/bin/bash
# run-tests.sh TEST_DIR PROGRAM_LIST RESULTS_DIR
# Runs the Windows test programs named in PROGRAM_LIST (one name a line; built
# for i686 into TEST_DIR, with tcp.dll and the support/ folder beside them)
# under 32-bit Wine in the emulated machine, all in one boot and two at a time,
# with the TLS test server running there, and leaves NAME.out (what the
# program printed) and NAME.status (its exit status) in RESULTS_DIR for each.
# Fails only when the machine could not be built or booted or ran nothing;
# report.sh then tells each program's own verdict.
set -uo pipefail
. "$(dirname "$0")/machine.sh"
test_dir=$1 program_list=$2 results=$3
program_seconds=${TCP_QEMU32_PROGRAM_TIMEOUT:-240}
machine_seconds=${TCP_QEMU32_TIMEOUT:-900}

rm -rf "$results"
mkdir -p "$results"
# fail REASON: the reason also goes where report.sh finds it.
fail() {
  echo "qemu32: FAILED: $*" | tee "$results/machine.txt"
  exit 1
}

"$QEMU32_DIR/build-image.sh" || fail "the emulated 32-bit machine could not be built (see the lines above)"

share=$(mktemp -d)
trap 'rm -rf "$share"' EXIT
qemu32_new_share "$share"
mkdir -p "$share/bin"
cp "$test_dir/tcp.dll" "$share/bin/" || fail "no tcp.dll in $test_dir"
# Programs the tests start themselves (tcphost, the examples) sit in support/.
[ -d "$test_dir/support" ] && cp -r "$test_dir/support" "$share/bin/"
: >"$share/programs"
while read -r name; do
  [ -n "$name" ] || continue
  if [ -f "$test_dir/$name.exe" ]; then
    cp "$test_dir/$name.exe" "$share/bin/"
    echo "$name" >>"$share/programs"
  else
    echo "qemu32: $name.exe was not built"
  fi
done <"$program_list"
[ -s "$share/programs" ] || fail "no test program to run in $test_dir"
cp -r "$QEMU32_DIR/../../tests/tls" "$share/tls" || fail "the TLS test server's files are missing"
cp -r "$QEMU32_DIR/../../tests/proxy" "$share/proxy" || fail "the proxy's start script is missing"
# The machine has no OpenSSL: the certificate matrix is made here, for the
# port its HTTP listener takes there.
matrix_port=18480
"$QEMU32_DIR/../../tests/tls/make-matrix.sh" "$share/tls/matrix" "$matrix_port" $((matrix_port + 1)) >/dev/null ||
  fail "the certificate matrix could not be made"

cat >"$share/job.sh" <<JOB
. /mnt/share/guest-wine.sh
# Programs run from the machine's own disk: Wine cannot run them from the share.
mkdir -p /root/run /mnt/share/results
cp -r /mnt/share/bin/* /root/run/
# A name with an IPv6 and an IPv4 address, for the race between them.
printf '::1 dual.test\\n127.0.0.1 dual.test\\n' >>/etc/hosts
export TCP_TEST_DUAL_NAME=dual.test
cd /root/run
# The TLS test server writes its ports and the test CA beside the programs.
cp -r /mnt/share/tls /root/tls
python3 /root/tls/tls_server.py /root/tls/certs /root/run --lifetime $machine_seconds \
  --matrix-made /root/tls/matrix --matrix-port $matrix_port >/root/tls/server.log 2>&1 &
tenths=0
while [ ! -f /root/run/tls-server.ports ] && [ "\$tenths" -lt 600 ]; do
  sleep 0.1
  tenths=\$((tenths + 1))
done
[ -f /root/run/tls-server.ports ] || { echo "guest: the TLS test server did not start"; cat /root/tls/server.log; }
# The proxy tests' tinyproxy, started as CTest starts it beside the 64-bit tests.
bash /mnt/share/proxy/start-proxy.sh /root/run $machine_seconds >/root/proxy-start.log 2>&1 ||
  { echo "guest: the proxy did not start"; cat /root/proxy-start.log; }
# Two programs at a time, one for each of the machine's processors: each lane
# takes the next name from the list until none is left.
cp /mnt/share/programs /root/queue
next_program() {
  flock /root/queue.lock sh -c 'name=\$(head -n 1 /root/queue) && [ -n "\$name" ] && sed -i 1d /root/queue && echo "\$name"'
}
run_lane() {
  while name=\$(next_program); do
    started=\$(date +%s)
    timeout -k 10 $program_seconds wine "\$name.exe" </dev/null >"/mnt/share/results/\$name.out" 2>&1
    status=\$?
    echo \$status >"/mnt/share/results/\$name.status"
    echo "guest: \$name ended with status \$status after \$((\$(date +%s) - started)) s"
  done
}
run_lane &
first_lane=\$!
run_lane &
wait \$first_lane \$!
wineserver -k
JOB

echo "qemu32: booting the emulated machine to run $(wc -l <"$share/programs") test programs"
started=$(date +%s)
qemu32_boot "$QEMU32_CACHE" "$share" "$machine_seconds" -snapshot >"$share/console.log" 2>&1
machine_status=$?
seconds=$(($(date +%s) - started))
cp "$share/console.log" "$results/console.log"
cp "$share"/results/* "$results/" 2>/dev/null
# The guest's own lines, without the firmware's terminal codes before them.
tr -d '\r' <"$share/console.log" | grep -ao "guest: .*"
echo "qemu32: the machine ran for $seconds s"

if ! qemu32_job_finished "$share/console.log"; then
  tail -n 30 "$share/console.log"
  if [ "$machine_status" -eq 124 ]; then
    echo "the emulated machine was stopped after $machine_seconds s, before every program had run" >"$results/machine.txt"
  else
    echo "the emulated machine stopped (qemu status $machine_status) before every program had run" >"$results/machine.txt"
  fi
  cat "$results/machine.txt"
fi
ls "$results"/*.status >/dev/null 2>&1 || fail "the emulated machine ran no test program (qemu status $machine_status)"
exit 0
