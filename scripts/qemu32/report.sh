#!/bin/bash
# report.sh RESULTS_DIR NAME: what test program NAME printed in the emulated
# 32-bit machine; passes or fails with its exit status there.
results=$1 name=$2
if [ ! -f "$results/$name.status" ]; then
  echo "FAIL: $name did not run in the emulated 32-bit machine"
  [ -f "$results/machine.txt" ] && cat "$results/machine.txt"
  exit 1
fi
cat "$results/$name.out"
status=$(cat "$results/$name.status")
[[ $status =~ ^[0-9]+$ ]] || status=1
# A program whose crash wrecked its own stack can end with status 0: only
# GoogleTest's closing verdict, without an unhandled exception, is a pass.
if [ "$status" -eq 0 ]; then
  if grep -aq "^wine: Unhandled" "$results/$name.out"; then
    echo "FAIL: $name crashed in the emulated 32-bit machine (its exit status was 0)"
    exit 1
  fi
  if ! grep -aqE '^\[  PASSED  \] [0-9]+ tests?\.' "$results/$name.out"; then
    echo "FAIL: $name ended without GoogleTest's verdict in the emulated 32-bit machine"
    exit 1
  fi
fi
case $status in
  0) ;;
  124 | 137) echo "FAIL: $name did not finish in time in the emulated 32-bit machine" ;;
  *) echo "FAIL: $name ended with status $status in the emulated 32-bit machine" ;;
esac
exit "$status"
