#!/bin/bash
# Runs one Windows program under Wine. CTest uses it as the emulator of the
# 64-bit build. Inside with-wine.sh it reuses that display and wineserver;
# alone it brings up a display of its own.
. "$(dirname "$0")/wine-env.sh"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$0" "$@"
fi
exec "$WINE64" "$@"
