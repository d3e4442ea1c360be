#!/bin/bash
# start-server.sh OUT_DIR [LIFETIME_SECONDS]: starts the TLS test server with
# its certificate matrix in the background for the Windows-side tests and
# returns once it listens; its ports go to OUT_DIR/tls-server.ports, its
# process id to OUT_DIR/tls-server.pid. Making the matrix's keys the first
# time may take a minute.
set -u
here=$(cd "$(dirname "$0")" && pwd)
out=$1 lifetime=${2:-600}
mkdir -p "$out"
rm -f "$out/tls-server.ports"
# Detached from the caller's output, so that CTest does not wait for it.
setsid /usr/bin/python3 "$here/tls_server.py" "$here/certs" "$out" --lifetime "$lifetime" --matrix \
  </dev/null >"$out/tls-server.log" 2>&1 &
echo $! >"$out/tls-server.pid"
for _ in $(seq 1800); do
  [ -f "$out/tls-server.ports" ] && { cat "$out/tls-server.ports"; exit 0; }
  kill -0 "$(cat "$out/tls-server.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "start-server: the TLS test server did not start:"
cat "$out/tls-server.log"
exit 1
