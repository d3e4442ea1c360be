# Sourced by the jobs that run in the emulated machine: 32-bit Wine in the
# prefix made when the machine was built, the Russian locale (ANSI code page
# 1251, OEM 866), one Xvfb display and one wineserver kept warm for every
# program the job starts.
export WINEPREFIX=/root/.wine WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ru_RU.UTF-8
export DISPLAY=:1

Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
tenths=0
while [ ! -S /tmp/.X11-unix/X1 ] && [ "$tenths" -lt 300 ]; do
  sleep 0.1
  tenths=$((tenths + 1))
done
[ -S /tmp/.X11-unix/X1 ] || echo "guest: Xvfb did not start"

wineserver -p
# The first program starts Wine's services; a test must never be that program.
timeout -k 10 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || echo "guest: Wine did not start"
