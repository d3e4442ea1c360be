#!/bin/sh
# The emulated machine's first process: mounts what Wine needs, brings up the
# loopback interface the tests' servers listen on, runs the job found in the
# shared folder, and powers the machine off.
mount_once() {
  mountpoint -q "$2" || mount -t "$1" "$1" "$2"
}
mount_once proc /proc
mount_once sysfs /sys
mount_once devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount_once devpts /dev/pts
mount_once tmpfs /dev/shm
mount_once tmpfs /tmp
mount_once tmpfs /run
ip link set lo up
mkdir -p /mnt/share
export HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=1048576 host0 /mnt/share; then
  echo "guest: the shared folder could not be mounted"
elif [ -f /mnt/share/job.sh ]; then
  sh /mnt/share/job.sh
  echo "guest: job finished with status $?"
else
  echo "guest: no job in the shared folder"
fi
sync
umount /mnt/share 2>/dev/null
mount -o remount,ro / 2>/dev/null
echo o > /proc/sysrq-trigger
sleep 30
