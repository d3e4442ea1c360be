#!/bin/bash
# stop-renegotiating.sh OUT_DIR: stops the server start-renegotiating.sh started
# there, OpenSSL's s_server with it (they share its process group).
out=$1
[ -f "$out/renegotiate.pid" ] || exit 0
kill -- "-$(cat "$out/renegotiate.pid")" 2>/dev/null
rm -f "$out/renegotiate.pid" "$out/renegotiate.port"
exit 0
