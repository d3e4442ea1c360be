#!/bin/bash
# stop-server.sh OUT_DIR: stops the TLS test server that start-server.sh started there.
out=$1
[ -f "$out/tls-server.pid" ] || exit 0
kill "$(cat "$out/tls-server.pid")" 2>/dev/null
rm -f "$out/tls-server.pid" "$out/tls-server.ports"
exit 0
