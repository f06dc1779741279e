#!/bin/bash
# Every test of the Windows program under Wine: the GPU backend, then the program end to end.
set -u
here=$(dirname "$0")
status=0
bash "$here/gpu_backend.sh" || status=1
bash "$here/windows_program.sh" || status=1
exit $status
