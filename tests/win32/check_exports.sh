#!/bin/bash
# check_exports.sh OBJDUMP DLL TABLE
# Every export of DLL must carry the name and ordinal that TABLE gives it, and
# the DLL must export exactly the table's entry points.
set -u
# objdump translates its headings under a Russian locale.
export LC_ALL=C
objdump=$1 dll=$2 table=$3
exports=$("$objdump" -p "$dll" | awk '
  /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
  inside && match($0, /^\t\[ *[0-9]+\] /) {
    index_text = substr($0, RSTART, RLENGTH); gsub(/[^0-9]/, "", index_text)
    print index_text + base, substr($0, RSTART + RLENGTH); next }
  inside && !/^\t\[/ { inside = 0 }
  /^Ordinal Base/ { base = $3 }')
[ -n "$exports" ] || { echo "FAIL: no exports found in $dll"; exit 1; }
failed=0
while read -r ordinal name; do
  expected=$(awk -v n="$name" '$2 == n { print $1 }' "$table")
  if [ "$expected" != "$ordinal" ]; then
    echo "FAIL: $name exported at ordinal $ordinal, expected ${expected:-no such entry point}"
    failed=1
  fi
done <<< "$exports"
count=$(wc -l <<< "$exports")
total=$(wc -l < "$table")
[ "$count" -ne "$total" ] && { echo "FAIL: $count exports, not the $total entry points"; failed=1; }
[ "$failed" -eq 0 ] && echo "$count of $total entry points exported, each with its ordinal"
exit $failed
