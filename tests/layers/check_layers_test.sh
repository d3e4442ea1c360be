#!/bin/bash
# The layer check rejects an include that points up or sideways, names it, and
# accepts includes that point down or stay in their folder.
set -u
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{textops,http,textconv,session}
printf '#include "textops/textops.h"\n#include "http/own.h"\n' > "$tree/http/parser.cpp"
printf '#include "http/parser.h"\n#include "textconv/text.h"\n' > "$tree/session/session.h"
"$check" "$tree" > "$tree/out.txt" || { cat "$tree/out.txt"; echo "FAIL: a tree of down includes was rejected"; exit 1; }

printf '#include "session/session.h"\n' >> "$tree/http/parser.cpp"
printf '#include "http/parser.h"\n' > "$tree/textconv/text.cpp"
if "$check" "$tree" > "$tree/out.txt"; then echo "FAIL: upward includes were accepted"; exit 1; fi
grep -q 'http/parser.cpp:3 includes "session/session.h"' "$tree/out.txt" || { cat "$tree/out.txt"; echo "FAIL: the upward include is not named"; exit 1; }
grep -q 'textconv/text.cpp:1 includes "http/parser.h"' "$tree/out.txt" || { cat "$tree/out.txt"; echo "FAIL: the sideways include is not named"; exit 1; }
echo "the check rejects upward and sideways includes and names them"
