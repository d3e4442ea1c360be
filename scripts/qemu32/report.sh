#!/bin/bash
# report.sh RESULTS_DIR NAME: what test program NAME printed in the emulated
# machine, passing or failing with its exit status there.
results=$1 name=$2
if [ ! -f "$results/$name.status" ]; then
  echo "FAIL: $name did not run in the emulated 32-bit machine"
  exit 1
fi
cat "$results/$name.out"
exit "$(cat "$results/$name.status")"
