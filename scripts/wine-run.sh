#!/bin/bash
# Runs one Windows program under Wine. CTest uses it as the emulator of the
# 64-bit build. Inside with-wine.sh it reuses that display and wineserver;
# alone it brings up a display of its own, which it keeps until Wine is done
# with it (else Wine reports the display's end on standard error), or for two
# seconds at most when other Windows programs keep Wine running.
. "$(dirname "$0")/wine-env.sh"
if [ -z "${DISPLAY:-}" ]; then
  TCP_OWN_DISPLAY=1 exec xvfb-run -a "$0" "$@"
fi
if [ -n "${TCP_OWN_DISPLAY:-}" ]; then
  "$WINE64" "$@"
  status=$?
  timeout 2 "$WINESERVER64" -w
  exit "$status"
fi
exec "$WINE64" "$@"
