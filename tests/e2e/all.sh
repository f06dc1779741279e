#!/bin/bash
# Every test of the Windows program under Wine. Three lanes run at the same
# time, each with its own virtual screen and Wine server: the GPU test
# program, the program through its windows, and through its command line;
# then the tests that compare the deterministic benchmarks of the last two.
# Each lane's output is printed when it ends. Without root (no Wine prefix of
# its own for a lane) the lanes run one after another.
#   all.sh [TEST...]   only the named tests, one after another
set -u
here=$(dirname "$0")
if [ $# -gt 0 ]; then
  status=0
  for t in "$@"; do
    script=$(grep -l "^$t()" "$here/gpu_backend.sh" "$here/windows_program.sh") || { echo "no test $t"; exit 1; }
    bash "$script" "$t" || status=1
  done
  exit $status
fi

lanes=(
  "gpu_backend.sh"
  "windows_program.sh test_deterministic_benchmark_from_the_startup_window test_mission_control
     test_missing_shader_is_a_fatal_error"
  "windows_program.sh test_command_line_deterministic_benchmark test_choices_reach_the_configuration_and_resizing_follows
     test_startup_window_ends_the_program test_command_line_bad_arguments test_command_line_read_only_output"
)
logs=$(mktemp -d /tmp/orvalis-lanes.XXXXXX)
began=$SECONDS
for i in "${!lanes[@]}"; do
  lane=0
  [ "$(id -u)" = 0 ] && lane=$((i + 1))
  # shellcheck disable=SC2086
  (ORVALIS_LANE=$lane bash "$here/"${lanes[i]} >"$logs/$i" 2>&1 || touch "$logs/$i.failed"
   echo "-- lane $((i + 1)): ${lanes[i]%% *}, $((SECONDS - began)) s" >"$logs/$i.title") &
  [ $lane = 0 ] && wait
done
wait
status=0
for i in "${!lanes[@]}"; do
  cat "$logs/$i.title" "$logs/$i"
  [ ! -f "$logs/$i.failed" ] || status=1
done
rm -rf "$logs"
echo "-- after both deterministic benchmarks"
bash "$here/windows_program.sh" test_deterministic_runs_agree test_compare_results || status=1
echo "-- the Windows program's tests took $((SECONDS - began)) s"
exit $status
