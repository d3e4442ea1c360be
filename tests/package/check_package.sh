#!/bin/bash
# check_package.sh ZIP SOURCE_DIR BUILD_X86 BUILD_X64: the archive holds
# exactly the files a release has, every SHA256SUMS line verifies, its
# entries are sorted with one date and fixed permissions, and its DLLs and
# tcphost.exe are the very files the Windows-side tests ran.
set -uo pipefail
archive=$1 source=$2
declare -A builds=([x86]=$3 [x64]=$4)

passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "package: FAILED: $what"
  fi
}

finish() {
  echo "package: $passed checks passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

[ -f "$archive" ] || { failed=1; echo "package: FAILED: no $archive"; finish; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
top=$(basename "$archive" .zip)

expected() {
  local arch name
  for arch in x86 x64; do
    for name in tcp.dll tcphost.exe tcpserve.exe; do echo "$top/$arch/$name"; done
  done
  echo "$top/include/tcp.h"
  find "$source/examples" -maxdepth 1 -type f ! -name CMakeLists.txt -printf "$top/examples/%f\n"
  for name in README.md LICENSE CHANGELOG.md SHA256SUMS; do echo "$top/$name"; done
}

# Names, dates and modes of the entries as stored, then the files extracted.
python3 - "$archive" "$scratch" > "$scratch/entries" <<'PY' || { failed=1; echo "package: FAILED: unreadable archive"; finish; }
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for info in z.infolist():
        print(info.filename, "%04d%02d%02d%02d%02d%02d" % info.date_time, oct(info.external_attr >> 16))
    z.extractall(sys.argv[2] + "/files")
PY

check "the files are exactly a release's" \
  diff <(expected | LC_ALL=C sort) <(grep -v '/ ' "$scratch/entries" | cut -d' ' -f1 | LC_ALL=C sort)
check "the entries are sorted" diff <(cut -d' ' -f1 "$scratch/entries") <(cut -d' ' -f1 "$scratch/entries" | LC_ALL=C sort)
check "every entry has the same date" test "$(cut -d' ' -f2 "$scratch/entries" | sort -u | wc -l)" -eq 1
check "files are 0644 and folders 0755" \
  test -z "$(grep -Ev '^[^ ]*/ [0-9]+ 0o40755$|^[^ ]*[^/] [0-9]+ 0o100644$' "$scratch/entries")"
check "SHA256SUMS names every other file" \
  diff <(expected | grep -v '/SHA256SUMS$' | sed "s|^$top/||" | LC_ALL=C sort) \
       <(sed -E 's/^[0-9a-f]{64}  //' "$scratch/files/$top/SHA256SUMS" | LC_ALL=C sort)
check "every SHA256SUMS line verifies" bash -c "cd '$scratch/files/$top' && sha256sum --quiet --strict -c SHA256SUMS"
for arch in x86 x64; do
  tested=${builds[$arch]}/windows-tests
  check "$arch/tcp.dll is the DLL the tests ran" cmp "$scratch/files/$top/$arch/tcp.dll" "$tested/tcp.dll"
  check "$arch/tcphost.exe is the tcphost the tests ran" cmp "$scratch/files/$top/$arch/tcphost.exe" "$tested/support/tcphost.exe"
done
finish
