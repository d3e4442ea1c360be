#!/bin/bash
# start-proxy.sh OUT_DIR [LIFETIME_SECONDS]: starts Debian's tinyproxy on a free
# loopback port for the Windows-side proxy tests and returns once it listens.
# It asks Basic authentication (user "proxyuser", password "proxypass") and
# refuses tunnels to names that begin with "denied" (403, before any lookup).
# Its port goes to OUT_DIR/proxy.port, its process id to OUT_DIR/proxy.pid.
set -u
out=$1 lifetime=${2:-600}
mkdir -p "$out"
rm -f "$out/proxy.port"
command -v tinyproxy >/dev/null || { echo "start-proxy: tinyproxy is missing (scripts/install-deps.sh installs it)"; exit 1; }
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
echo '^denied' >"$out/proxy.filter"
cat >"$out/proxy.conf" <<CONF
Port $port
Listen 127.0.0.1
Timeout 60
MaxClients 20
LogLevel Info
Filter "$out/proxy.filter"
FilterURLs Off
BasicAuth proxyuser proxypass
CONF
setsid timeout "$lifetime" tinyproxy -d -c "$out/proxy.conf" </dev/null >"$out/proxy.log" 2>&1 &
echo $! >"$out/proxy.pid"
for _ in $(seq 100); do
  if python3 -c "import socket, sys; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null; then
    echo "$port" >"$out/proxy.port"
    echo "proxy on port $port"
    exit 0
  fi
  kill -0 "$(cat "$out/proxy.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "start-proxy: tinyproxy did not start:"
cat "$out/proxy.log"
exit 1
