#!/bin/bash
# Builds the emulated machine that runs the 32-bit DLL's tests, unless the
# cache already holds one built by this recipe: a Debian bookworm amd64 root
# whose kernel runs 32-bit programs, with 32-bit Wine (the i386 architecture
# is added inside that root only), Xvfb, the ru_RU.UTF-8 locale and a Wine
# prefix created once here, in a first boot of the machine. Wine's Schannel
# loads GnuTLS at run time (a recommend, so named here); Python runs the TLS
# test server.
set -euo pipefail
. "$(dirname "$0")/machine.sh"

fail() {
  echo "qemu32: $*"
  exit 1
}

if qemu32_ready; then
  echo "qemu32: machine ready in $QEMU32_CACHE"
  exit 0
fi

[ "$(id -u)" = 0 ] || fail "building the machine needs root (debootstrap, chroot, mount)"
for tool in debootstrap chroot mke2fs qemu-system-x86_64 flock; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

# One build at a time; whoever waited finds the machine the other one built.
mkdir -p "$(dirname "$QEMU32_CACHE")"
exec {lock}>"$QEMU32_CACHE.lock"
flock -w 1200 "$lock" || fail "another build of the machine did not finish within 20 minutes"
if qemu32_ready; then
  echo "qemu32: machine ready in $QEMU32_CACHE"
  exit 0
fi

# The bookworm mirror apt is configured with (deb822 sources, then one-line).
debian_mirror() {
  awk 'BEGIN { RS = ""; FS = "\n" }
    {
      uri = ""; bookworm = 0
      for (i = 1; i <= NF; i++) {
        if ($i ~ /^URIs:/) { split($i, words, /[ \t]+/); uri = words[2] }
        if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) bookworm = 1
      }
      if (bookworm && uri != "") { print uri; exit }
    }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true
  awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' /etc/apt/sources.list 2>/dev/null || true
}
mirror=$(debian_mirror | head -n 1)
[ -n "$mirror" ] || fail "no bookworm mirror found in apt's sources"

export DEBIAN_FRONTEND=noninteractive
started=$(date +%s)
stage_started=$started
stage_done() {
  local now
  now=$(date +%s)
  echo "qemu32: $1 in $((now - stage_started)) s"
  stage_started=$now
}

# A previous attempt may have stopped anywhere: its mounts go first, and
# removing its files never crosses into a mounted file system.
work="$QEMU32_CACHE.build"
root="$work/root"
unmount_root() {
  local mounted
  for mounted in "$root/dev/pts" "$root/dev" "$root/sys" "$root/proc"; do
    if mountpoint -q "$mounted" 2>/dev/null; then umount "$mounted" || umount -l "$mounted"; fi
  done
  return 0
}
trap unmount_root EXIT
unmount_root
rm -rf --one-file-system "$work"
mkdir -p "$work"

echo "qemu32: building the guest root from $mirror"
timeout --foreground 600 debootstrap --variant=minbase --include=iproute2 bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
  { tail -20 "$work/debootstrap.log"; fail "debootstrap failed (log: $work/debootstrap.log)"; }

mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mkdir -p "$root/etc/initramfs-tools/conf.d"
echo "MODULES=list" >"$root/etc/initramfs-tools/conf.d/tcpplug"
printf '%s\n' virtio_pci virtio_blk ext4 9p 9pnet_virtio >"$root/etc/initramfs-tools/modules"
chroot "$root" dpkg --add-architecture i386
timeout --foreground 300 chroot "$root" apt-get update -q >"$work/apt.log" 2>&1 &&
  timeout --foreground 900 chroot "$root" apt-get install -y -q --no-install-recommends \
    linux-image-amd64 initramfs-tools wine wine32:i386 xvfb xauth locales libgnutls30:i386 python3 tinyproxy >>"$work/apt.log" 2>&1 ||
  { tail -20 "$work/apt.log"; fail "installing the guest's packages failed (log: $work/apt.log)"; }
sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' "$root/etc/locale.gen"
chroot "$root" locale-gen >/dev/null
printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
echo guest >"$root/etc/hostname"
chroot "$root" apt-get clean
install -m 755 "$QEMU32_DIR/guest-init.sh" "$root/usr/local/sbin/tcpplug-guest"
cp "$root"/boot/vmlinuz-* "$work/vmlinuz"
cp "$root"/boot/initrd.img-* "$work/initrd.img"
unmount_root
stage_done "guest root built"

truncate -s 4G "$work/root.img"
mke2fs -q -t ext4 -d "$root" "$work/root.img"
rm -rf --one-file-system "$root"
stage_done "disk image written"

share="$work/share"
qemu32_new_share "$share"
cat >"$share/job.sh" <<'JOB'
export WINEPREFIX=/root/.wine WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ru_RU.UTF-8
wine wineboot -i </dev/null
# An unhandled crash prints a backtrace and ends the program instead of
# opening a dialog that waits for a click.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null
wineserver -w
grep -q ShowCrashDialog /root/.wine/user.reg && touch /mnt/share/prefix-created
JOB
qemu32_boot "$work" "$share" 300 >"$work/first-boot.log" 2>&1 || true
[ -f "$share/prefix-created" ] ||
  { tail -20 "$work/first-boot.log"; fail "creating the Wine prefix in the machine failed (log: $work/first-boot.log)"; }
rm -rf "$share"
stage_done "Wine prefix created in the machine's first boot"

echo "$QEMU32_STAMP" >"$work/stamp"
rm -rf --one-file-system "$QEMU32_CACHE"
mv "$work" "$QEMU32_CACHE"
echo "qemu32: machine built in $(($(date +%s) - started)) s"
