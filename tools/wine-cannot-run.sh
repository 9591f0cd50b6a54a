#!/bin/sh
# The emulator of a Windows build whose programs cannot run on this machine:
# 32-bit ones where the kernel runs no 32-bit programs (tools/wine-probe.sh).
# Every test that would run one exits with 77, which ctest reports as skipped,
# and says why.
# Usage: tools/wine-cannot-run.sh WHY PROGRAM [ARGUMENT...]
set -eu
echo "skipped, $(basename "$2") is not run: $1"
exit 77
