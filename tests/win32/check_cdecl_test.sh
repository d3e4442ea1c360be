#!/bin/bash
# check_cdecl_test.sh CHECK OBJDUMP NM FIXTURE_DLL
# The calling-convention check passes an entry point that a local function
# removing its own argument follows, and fails one that removes its own.
set -u
check=$1 objdump=$2 nm=$3 dll=$4
table=$(mktemp)
trap 'rm -f "$table"' EXIT
failed=0

# The fixture is only a test of the bound if a local function follows the
# entry point and removes its argument.
next=$(LC_ALL=C "$nm" -n "$dll" | awk '$2 ~ /^[tT]$/ { if (found && $1 != at) { print $2; exit } }
  $3 == "_callerCleans" { found = 1; at = $1 }')
if [ "$next" != "t" ]; then
  echo "FAIL: the fixture's entry point is not followed by a local function (next symbol kind: ${next:-none})"
  exit 1
fi

echo "1 callerCleans" >"$table"
if ! output=$("$check" "$objdump" "$nm" "$dll" "$table"); then
  echo "FAIL: a caller-cleans entry point was refused:"
  echo "$output"
  failed=1
fi

echo "2 removesItsOwn" >"$table"
if output=$("$check" "$objdump" "$nm" "$dll" "$table") || ! grep -q "FAIL: removesItsOwn removes its own arguments" <<< "$output"; then
  echo "FAIL: an entry point that removes its own arguments was let through:"
  echo "$output"
  failed=1
fi
[ "$failed" -eq 0 ] && echo "the check reads each entry point and nothing after it"
exit $failed
