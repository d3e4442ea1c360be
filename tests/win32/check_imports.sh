#!/bin/bash
# check_imports.sh OBJDUMP DLL
# The library is linked statically: it may import only Windows system DLLs.
set -u
# objdump translates its headings under a Russian locale.
export LC_ALL=C
objdump=$1 dll=$2
allowed='^(kernel32|user32|gdi32|advapi32|wsock32|ws2_32|winmm|msvcrt|secur32|crypt32)\.dll$'
imports=$("$objdump" -p "$dll" | awk '/DLL Name:/ { print $3 }')
[ -n "$imports" ] || { echo "FAIL: no imports found in $dll"; exit 1; }
failed=0
for name in $imports; do
  if ! tr 'A-Z' 'a-z' <<< "$name" | grep -Eq "$allowed"; then
    echo "FAIL: $dll imports $name, which is not a Windows system DLL"
    failed=1
  fi
done
echo "imports: $(tr '\n' ' ' <<< "$imports")"
exit $failed
