#!/bin/sh
# The emulated machine's first process: mounts what Wine needs, runs the job
# found in the shared folder, and powers the machine off.
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
ip link set lo up
mkdir -p /mnt/share
mount -t 9p -o trans=virtio,version=9p2000.L,msize=1048576 host0 /mnt/share
export HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
if [ -f /mnt/share/job.sh ]; then
  sh /mnt/share/job.sh
  echo "guest: job finished with status $?"
else
  echo "guest: no job in the shared folder"
fi
sync
umount /mnt/share
mount -o remount,ro / 2>/dev/null
echo o > /proc/sysrq-trigger
sleep 30
