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
# A loaded machine has been seen to end a program at once, failed, having
# printed nothing: Wine did not start it. Such a start is tried once more; a
# program that printed anything is never run again. A terminal's output is
# left to the program, which writes to it as to a console.
run() {
  local printed status
  if [ -t 1 ]; then
    "$WINE64" "$@"
    return
  fi
  printed=$(mktemp)
  "$WINE64" "$@" > >(tee "$printed")
  status=$?
  wait
  if [ "$status" -ne 0 ] && [ ! -s "$printed" ] && [ "$SECONDS" -lt 2 ]; then
    echo "wine-run: $1 ended at once with status $status, printing nothing; starting it again" >&2
    "$WINE64" "$@"
    status=$?
  fi
  rm -f "$printed"
  return "$status"
}
run "$@"
status=$?
[ -n "${TCP_OWN_DISPLAY:-}" ] && timeout 2 "$WINESERVER64" -w
exit "$status"
