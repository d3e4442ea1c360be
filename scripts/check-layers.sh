#!/bin/bash
# check-layers.sh [SRC]: every #include "folder/..." in SRC/<folder>/ must point
# down the chain of layers, or into its own folder. Prints each include that
# runs against the chain and fails if there is any.
#
# The chain, from the bottom; folders on one rung never include each other.
set -u
src=${1:-"$(dirname "$0")/../src"}
rungs=(
  "textops"
  "platform"
  "textconv http"
  "tcpsocket"
  "session"
  "connection"
  "plugin"
  "win32"
)

rung_of() {
  local i
  for i in "${!rungs[@]}"; do
    for folder in ${rungs[$i]}; do
      [ "$folder" = "$1" ] && { echo "$i"; return; }
    done
  done
  echo -1
}

failed=0
checked=0
for dir in "$src"/*/; do
  layer=$(basename "$dir")
  own=$(rung_of "$layer")
  if [ "$own" -lt 0 ]; then
    echo "layers: src/$layer is not on the chain"
    failed=1
    continue
  fi
  while IFS=: read -r file line target; do
    checked=$((checked + 1))
    folder=${target%%/*}
    [ "$folder" = "$layer" ] && continue
    rung=$(rung_of "$folder")
    if [ "$rung" -lt 0 ] || [ "$rung" -ge "$own" ]; then
      echo "layers: ${file#"$src"/}:$line includes \"$target\", which is not below $layer"
      failed=1
    fi
  done < <(grep -rnoE --include='*.h' --include='*.cpp' '^#include "[^"]+/[^"]+"' "$dir" |
           sed -E 's/^([^:]+):([0-9]+):#include "(.*)"$/\1:\2:\3/')
done
[ "$failed" -eq 0 ] && echo "layers: $checked includes, all down the chain"
exit $failed
