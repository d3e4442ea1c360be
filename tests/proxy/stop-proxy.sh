#!/bin/bash
# stop-proxy.sh OUT_DIR: stops the proxy start-proxy.sh started there.
out=$1
[ -f "$out/proxy.pid" ] && kill "$(cat "$out/proxy.pid")" 2>/dev/null
rm -f "$out/proxy.pid" "$out/proxy.port"
exit 0
