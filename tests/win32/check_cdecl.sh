#!/bin/bash
# check_cdecl.sh OBJDUMP DLL TABLE
# 32-bit entry points follow the C calling convention: the names are not
# decorated (no _name@N) and no exported function removes its own arguments
# (a "ret $N" would).
set -u
# objdump translates its headings under a Russian locale.
export LC_ALL=C
objdump=$1 dll=$2 table=$3
failed=0
if "$objdump" -p "$dll" | grep -Eq '\] [A-Za-z_0-9]+@[0-9]+$'; then
  echo "FAIL: decorated export names in $dll"
  failed=1
fi
checked=0
while read -r _ name; do
  body=$("$objdump" -d --no-show-raw-insn --disassemble="_$name" "$dll" 2>/dev/null | awk '/^ *[0-9a-f]+:\t/')
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
