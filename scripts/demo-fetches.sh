#!/bin/bash
# demo-fetches.sh BIN_DIR CONTENT_DIR PORT: the demonstration's fetches, run
# where Windows programs run through $DEMO_WINE (scripts/wine-run.sh here,
# wine in the emulated machine). Starts tcpserve on 127.0.0.1:PORT over
# CONTENT_DIR, fetches a plain page, a chunked UTF-8 page with Cyrillic text
# and a binary file (saved with -o and compared byte for byte) through
# tcphost and tcp.dll from BIN_DIR, then stops the server.
set -uo pipefail
bin=$1 port=$3
cd "$2" || exit 1
url="http://127.0.0.1:$port"
$DEMO_WINE "$bin/tcpserve.exe" . "$port" </dev/null &
server=$!
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.2
done

status=0
fetch() {
  echo
  echo "\$ tcphost fetch $*"
  $DEMO_WINE "$bin/tcphost.exe" fetch "$@" || status=1
}
fetch "$url/page.html"
fetch "$url/cyrillic.html?chunked"
fetch "$url/blob.bin?paced" -o saved.bin
if cmp -s blob.bin saved.bin; then
  echo "saved.bin: $(stat -c %s saved.bin) bytes, the same bytes as the server's blob.bin"
else
  echo "saved.bin DIFFERS from blob.bin"
  status=1
fi
$DEMO_WINE "$bin/tcphost.exe" fetch "$url/stop" >/dev/null 2>&1 || kill "$server"
wait "$server"
exit "$status"
