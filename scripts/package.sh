#!/bin/bash
# Writes dist/tcp-dll-VERSION.zip: the 32-bit and the 64-bit tcp.dll, each
# with tcphost.exe and tcpserve.exe, the header, the examples, README.md,
# LICENSE, CHANGELOG.md and SHA256SUMS over every file. The same commit gives
# the same archive: entries sorted, every date SOURCE_DATE_EPOCH (by default
# the commit's time), fixed permissions.
#
#   scripts/package.sh             builds the product in build/mingw-x86 and
#                                  build/mingw-x64 (incrementally), then packages
#   scripts/package.sh --no-build  packages what those build folders hold
#   scripts/package.sh --verify    packages, then builds HEAD again in a scratch
#                                  folder and compares every file's hash
#   scripts/package.sh --version   prints the release version
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

mode=build
case "${1:-}" in
  "") ;;
  --no-build) mode=reuse ;;
  --verify) mode=verify ;;
  --version) mode=version ;;
  *) echo "usage: scripts/package.sh [--no-build | --verify | --version]" >&2; exit 2 ;;
esac

presets=(mingw-x86 mingw-x64)

version=$(sed -nE 's/^project\(tcpplug VERSION ([0-9]+\.[0-9]+\.[0-9]+) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no VERSION in CMakeLists.txt's project()" >&2; exit 1; }
[ "$mode" != version ] || { echo "$version"; exit 0; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD 2>/dev/null) ||
    { echo "package: not in a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

build_product() {
  local log=$root/build/package-build.log
  mkdir -p build
  : > "$log"
  for preset in "${presets[@]}"; do
    echo "package: building $preset (log: build/package-build.log)"
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset" --target tcp tcphost tcpserve; } >> "$log" 2>&1; then
      tail -n 30 "$log" >&2
      echo "package: building $preset failed" >&2
      exit 1
    fi
  done
}

# A build folder configured from another version would put the wrong
# release into the archive's name.
check_configured_version() {
  local header=build/$1/release/release_version.h built
  built=$(sed -nE 's/^#define TCP_RELEASE_VERSION "(.*)"$/\1/p' "$header" 2>/dev/null || true)
  if [ "$built" != "$version" ]; then
    echo "package: build/$1 holds release '${built:-none}', CMakeLists.txt says $version: build it again" >&2
    exit 1
  fi
}

stage_files() {
  local into=$1 arch preset
  for preset in "${presets[@]}"; do
    arch=${preset#mingw-}
    mkdir -p "$into/$arch"
    cp build/$preset/src/win32/tcp.dll build/$preset/tools/host/tcphost.exe \
       build/$preset/tools/serve/tcpserve.exe "$into/$arch/"
  done
  mkdir -p "$into/include" "$into/examples"
  cp include/tcp.h "$into/include/"
  find examples -maxdepth 1 -type f ! -name CMakeLists.txt -exec cp {} "$into/examples/" \;
  cp README.md LICENSE CHANGELOG.md "$into/"
  (cd "$into" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum > ../SHA256SUMS)
  mv "$into/../SHA256SUMS" "$into/SHA256SUMS"
}

write_zip() {
  python3 - "$1" "$2" <<'PY'
import os, sys, time, zipfile

archive, top = sys.argv[1], sys.argv[2]
base = os.path.dirname(top)
# Zip dates are local times with two-second steps from 1980 on.
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
entries = []
for folder, dirs, files in os.walk(top):
    entries.append(os.path.relpath(folder, base) + "/")
    entries += [os.path.relpath(os.path.join(folder, name), base) for name in files]
with zipfile.ZipFile(archive + ".part", "w") as z:
    for name in sorted(entries):
        info = zipfile.ZipInfo(name, stamp)
        info.create_system = 3
        if name.endswith("/"):
            info.external_attr = (0o40755 << 16) | 0x10
            z.writestr(info, b"")
        else:
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(base, name), "rb") as f:
                z.writestr(info, f.read(), compresslevel=9)
os.replace(archive + ".part", archive)
PY
}

make_package() {
  local scratch
  for preset in "${presets[@]}"; do check_configured_version "$preset"; done
  scratch=$(mktemp -d)
  stage_files "$scratch/tcp-dll-$version"
  mkdir -p dist
  write_zip "dist/tcp-dll-$version.zip" "$scratch/tcp-dll-$version"
  rm -rf "$scratch"
  echo "package: dist/tcp-dll-$version.zip $(sha256sum < dist/tcp-dll-$version.zip | cut -d' ' -f1)"
}

# The hashes of every file in an archive, as its SHA256SUMS lists them.
sums_of() {
  python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); sys.stdout.write(z.read(sys.argv[2]).decode())' \
    "$1" "tcp-dll-$version/SHA256SUMS"
}

verify() {
  local scratch here there
  scratch=$(mktemp -d /tmp/tcp-dll-verify.XXXXXX)
  if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "package: warning: the checkout has uncommitted changes; the scratch build is of HEAD"
  fi
  echo "package: verify: building HEAD ($(git rev-parse --short HEAD)) again in $scratch"
  git archive HEAD | tar -x -C "$scratch"
  if ! (cd "$scratch" && bash scripts/package.sh); then
    echo "package: verify: the scratch build failed ($scratch kept)" >&2
    exit 1
  fi
  here=dist/tcp-dll-$version.zip
  there=$scratch/dist/tcp-dll-$version.zip
  if ! diff <(sums_of "$here") <(sums_of "$there") > "$scratch/differences"; then
    echo "package: verify: FAILED, files differ ($scratch kept):"
    cat "$scratch/differences"
    exit 1
  fi
  echo "package: verify: $(sums_of "$here" | wc -l) files byte-identical in both builds:"
  sums_of "$here" | sed 's/^/  /'
  if cmp -s "$here" "$there"; then
    echo "package: verify: archives identical, sha256 $(sha256sum < "$here" | cut -d' ' -f1)"
  else
    echo "package: verify: FAILED, the archives differ though their files do not ($scratch kept)"
    exit 1
  fi
  rm -rf "$scratch"
}

[ "$mode" = reuse ] || build_product
make_package
[ "$mode" != verify ] || verify
