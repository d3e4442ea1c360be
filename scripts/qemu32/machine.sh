# Sourced by the emulated-machine scripts: where the machine is kept and the
# stamp that tells whether the kept machine was built by the current recipe.
QEMU32_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
: "${HOME:=$(getent passwd "$(id -u)" | cut -d: -f6)}"
QEMU32_CACHE="${TCP_QEMU32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tcpplug/qemu32}"
QEMU32_STAMP=$(cat "$QEMU32_DIR/build-image.sh" "$QEMU32_DIR/guest-init.sh" | sha256sum | cut -c1-16)

qemu32_ready() {
  [ -f "$QEMU32_CACHE/stamp" ] && [ "$(cat "$QEMU32_CACHE/stamp")" = "$QEMU32_STAMP" ] &&
    [ -f "$QEMU32_CACHE/root.img" ] && [ -f "$QEMU32_CACHE/vmlinuz" ] && [ -f "$QEMU32_CACHE/initrd.img" ]
}

# qemu32_boot IMAGE_DIR SHARE TIMEOUT [extra qemu options]: boots the machine
# with SHARE as the 9p folder "host0"; the guest runs SHARE/job.sh and powers off.
qemu32_boot() {
  local image_dir=$1 share=$2 seconds=$3
  shift 3
  timeout --kill-after=10 "$seconds" qemu-system-x86_64 \
    -machine q35 -m 2048 -smp 2 -cpu qemu64 -accel tcg,thread=multi \
    -nographic -no-reboot -nic none \
    -kernel "$image_dir/vmlinuz" -initrd "$image_dir/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 init=/usr/local/sbin/tcpplug-guest panic=1 quiet loglevel=3" \
    -drive "file=$image_dir/root.img,format=raw,if=virtio" \
    -virtfs "local,path=$share,mount_tag=host0,security_model=none,id=host0" \
    "$@" </dev/null
}
