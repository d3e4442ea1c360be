# Sourced by the emulated-machine scripts: where the machine is kept, the
# stamp that tells whether the kept machine was built by the current recipe,
# and how it boots.
QEMU32_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
: "${HOME:=$(getent passwd "$(id -u)" | cut -d: -f6)}"
QEMU32_CACHE="${TCP_QEMU32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tcpplug/qemu32}"
QEMU32_STAMP=$(cat "$QEMU32_DIR/build-image.sh" "$QEMU32_DIR/guest-init.sh" | sha256sum | cut -c1-16)

qemu32_ready() {
  [ -f "$QEMU32_CACHE/stamp" ] && [ "$(cat "$QEMU32_CACHE/stamp")" = "$QEMU32_STAMP" ] &&
    [ -f "$QEMU32_CACHE/root.img" ] && [ -f "$QEMU32_CACHE/vmlinuz" ] && [ -f "$QEMU32_CACHE/initrd.img" ]
}

# qemu32_new_share DIR: makes DIR a shared folder for one boot, holding the
# guest's Wine set-up; the caller adds job.sh and the files it needs.
qemu32_new_share() {
  mkdir -p "$1"
  cp "$QEMU32_DIR/guest-wine.sh" "$1/"
}

# qemu32_boot IMAGE_DIR SHARE SECONDS [qemu options]: boots the machine with
# SHARE as the 9p folder "host0"; the guest runs SHARE/job.sh and powers off.
# The machine is killed if it still runs after SECONDS (status 124); it stays
# in the caller's process group, so stopping the caller stops it too. Its
# memory is well above what one 32-bit program can address (2 GiB): a test
# that fills a program's address space must run out of addresses, never
# leave the machine without memory (with no swap it then crawls).
qemu32_boot() {
  local image_dir=$1 share=$2 seconds=$3
  shift 3
  timeout --foreground --kill-after=10 "$seconds" qemu-system-x86_64 \
    -machine q35 -m 4096 -smp 2 -cpu qemu64 -accel tcg,thread=multi \
    -nographic -no-reboot -nic none \
    -kernel "$image_dir/vmlinuz" -initrd "$image_dir/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 init=/usr/local/sbin/tcpplug-guest panic=1 quiet loglevel=3" \
    -drive "file=$image_dir/root.img,format=raw,if=virtio" \
    -virtfs "local,path=$share,mount_tag=host0,security_model=none,id=host0" \
    "$@" </dev/null
}

# qemu32_job_finished CONSOLE_LOG: whether the guest got to the end of its job.
qemu32_job_finished() {
  grep -aq "guest: job finished" "$1"
}

# qemu32_run_job SHARE SECONDS NAME WHAT: boots the machine on SHARE (its
# job.sh leaves NAME.out and NAME.status there), prints NAME.out and exits
# with the job's status; without a status, says that WHAT did not run.
qemu32_run_job() {
  local share=$1 seconds=$2 name=$3 what=$4
  qemu32_boot "$QEMU32_CACHE" "$share" "$seconds" -snapshot >"$share/console.log" 2>&1
  if [ ! -f "$share/$name.status" ]; then
    tail -n 30 "$share/console.log"
    echo "qemu32: FAILED: $what did not run in the emulated machine"
    exit 1
  fi
  cat "$share/$name.out"
  exit "$(cat "$share/$name.status")"
}
