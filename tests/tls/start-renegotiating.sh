#!/bin/bash
# start-renegotiating.sh OUT_DIR [LIFETIME_SECONDS]: starts renegotiating_server.py
# for the Windows-side renegotiation test and returns once it listens; its
# process id goes to OUT_DIR/renegotiate.pid.
set -u
out=$1 lifetime=${2:-600}
mkdir -p "$out"
rm -f "$out/renegotiate.port"
command -v openssl >/dev/null || { echo "start-renegotiating: openssl is missing (scripts/install-deps.sh installs it)"; exit 1; }
setsid timeout "$lifetime" python3 "$(dirname "$0")/renegotiating_server.py" "$out" </dev/null >"$out/renegotiate.log" 2>&1 &
echo $! >"$out/renegotiate.pid"
for _ in $(seq 200); do
  [ -s "$out/renegotiate.port" ] && { echo "renegotiating server on port $(cat "$out/renegotiate.port")"; exit 0; }
  kill -0 "$(cat "$out/renegotiate.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "start-renegotiating: the server did not start:"
cat "$out/renegotiate.log"
exit 1
