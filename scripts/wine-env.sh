# Sourced by the Wine scripts: the 64-bit Wine of Debian's wine64 package, a
# prefix of the project's own outside the checkout, and the Russian locale so
# that Wine's ANSI code page is 1251 and its OEM code page 866.
: "${HOME:=$(getent passwd "$(id -u)" | cut -d: -f6)}"
export HOME
export LC_ALL=ru_RU.UTF-8
# One prefix per checkout: with-wine.sh stops its prefix's wineserver at the
# end, which would cut off the Windows programs of any other checkout's run.
checkout=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${TCP_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/tcpplug/wine64-$(printf '%s' "$checkout" | cksum | cut -d' ' -f1)}"
export WINEDEBUG="${WINEDEBUG:--all}"
# Wine would offer to install its browser and .NET engines into a new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver64
mkdir -p "$(dirname "$WINEPREFIX")"
