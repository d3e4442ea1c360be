#!/bin/bash
# Builds the emulated machine that runs the 32-bit DLL's tests, unless the
# cache already holds one built by this recipe: a Debian bookworm amd64 root
# whose kernel runs 32-bit programs, with 32-bit Wine (the i386 architecture
# is added inside that root only), Xvfb, the ru_RU.UTF-8 locale and a Wine
# prefix created once here.
set -euo pipefail
. "$(dirname "$0")/machine.sh"

if qemu32_ready; then
  echo "qemu32: machine ready in $QEMU32_CACHE"
  exit 0
fi

started=$(date +%s)
mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list 2>/dev/null || true)
[ -n "$mirror" ] || { echo "qemu32: no Debian mirror found in apt's sources"; exit 1; }

work="$QEMU32_CACHE.build"
root="$work/root"
cleanup() {
  for mounted in "$root/dev/pts" "$root/dev" "$root/sys" "$root/proc"; do
    mountpoint -q "$mounted" 2>/dev/null && umount -l "$mounted"
  done
  return 0
}
trap cleanup EXIT
cleanup
rm -rf "$work"
mkdir -p "$work"

echo "qemu32: building the guest root from $mirror"
debootstrap --variant=minbase --include=iproute2 bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
  { tail -20 "$work/debootstrap.log"; echo "qemu32: debootstrap failed"; exit 1; }

mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mkdir -p "$root/etc/initramfs-tools/conf.d"
echo "MODULES=list" >"$root/etc/initramfs-tools/conf.d/tcpplug"
printf '%s\n' virtio_pci virtio_blk ext4 9p 9pnet_virtio >"$root/etc/initramfs-tools/modules"
in_root() { DEBIAN_FRONTEND=noninteractive chroot "$root" "$@"; }
in_root dpkg --add-architecture i386
in_root apt-get update -q >"$work/apt.log" 2>&1
in_root apt-get install -y -q --no-install-recommends \
  linux-image-amd64 initramfs-tools wine wine32:i386 xvfb xauth locales >>"$work/apt.log" 2>&1 ||
  { tail -20 "$work/apt.log"; echo "qemu32: installing the guest's packages failed"; exit 1; }
sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' "$root/etc/locale.gen"
in_root locale-gen >/dev/null
printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
echo guest >"$root/etc/hostname"
in_root apt-get clean
install -m 755 "$QEMU32_DIR/guest-init.sh" "$root/usr/local/sbin/tcpplug-guest"
cp "$root"/boot/vmlinuz-* "$work/vmlinuz"
cp "$root"/boot/initrd.img-* "$work/initrd.img"
cleanup

echo "qemu32: writing the disk image"
truncate -s 4G "$work/root.img"
mke2fs -q -t ext4 -d "$root" "$work/root.img"
rm -rf "$root"

echo "qemu32: first boot, creating the Wine prefix"
share="$work/share"
mkdir -p "$share"
cat >"$share/job.sh" <<'JOB'
export WINEPREFIX=/root/.wine WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ru_RU.UTF-8
wine wineboot -i
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
wineserver -w
[ -f /root/.wine/system.reg ] && touch /mnt/share/prefix-created
JOB
qemu32_boot "$work" "$share" 900 >"$work/first-boot.log" 2>&1 || true
[ -f "$share/prefix-created" ] || { tail -20 "$work/first-boot.log"; echo "qemu32: creating the Wine prefix in the machine failed"; exit 1; }
rm -rf "$share"

echo "$QEMU32_STAMP" >"$work/stamp"
rm -rf "$QEMU32_CACHE"
mv "$work" "$QEMU32_CACHE"
echo "qemu32: machine built in $(( $(date +%s) - started )) s"
