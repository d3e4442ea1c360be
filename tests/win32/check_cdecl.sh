#!/bin/bash
# check_cdecl.sh OBJDUMP NM DLL TABLE
# 32-bit entry points follow the C calling convention: the names are not
# decorated (no _name@N) and no exported function removes its own arguments
# (a "ret $N" would).
# Each entry point is read from its own address up to the next symbol of any
# kind: objdump's own --disassemble=NAME runs on to the next global symbol,
# and a local function the linker places there (a thiscall helper ends in a
# "ret $4") would be read as part of the entry point.
set -u
# objdump translates its headings under a Russian locale.
export LC_ALL=C
objdump=$1 nm=$2 dll=$3 table=$4
failed=0
if "$objdump" -p "$dll" | grep -Eq '\] [A-Za-z_0-9]+@[0-9]+$'; then
  echo "FAIL: decorated export names in $dll"
  failed=1
fi
# Every code symbol, in address order: "ADDRESS NAME" a line.
symbols=$("$nm" -n "$dll" | awk '$2 ~ /^[tT]$/ { print $1, $3 }')
checked=0
while read -r _ name; do
  bounds=$(awk -v want="_$name" '
    found && $1 != start { print start, $1; exit }
    $2 == want { found = 1; start = $1 }' <<< "$symbols")
  [ -n "$bounds" ] || continue
  read -r start stop <<< "$bounds"
  body=$("$objdump" -d --no-show-raw-insn --start-address="0x$start" --stop-address="0x$stop" "$dll" 2>/dev/null |
    awk '/^ *[0-9a-f]+:\t/')
  [ -n "$body" ] || continue
  checked=$((checked + 1))
  if grep -Eq 'ret +\$' <<< "$body"; then
    echo "FAIL: $name removes its own arguments"
    failed=1
  fi
done < "$table"
[ "$checked" -gt 0 ] || { echo "FAIL: no entry point found to disassemble"; exit 1; }
echo "$checked entry points checked: caller removes the arguments"
exit $failed
