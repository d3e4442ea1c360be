#!/bin/bash
# with_address_limit.sh KIB COMMAND...: runs COMMAND with its virtual address
# space limited to KIB kibibytes, so that a program's memory runs out early.
ulimit -v "$1" || exit 1
shift
exec "$@"
