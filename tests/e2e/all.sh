#!/bin/bash
# Every Windows test under Wine in three lanes at once (own screen and Wine server each), then the lane comparisons.
#   all.sh [TEST...]   only the named tests, one after another
set -u
here=$(dirname "$0") status=0 began=$SECONDS
for t in "$@"; do
  bash "$(grep -l "^$t()" "$here"/*.sh)" "$t" || status=1
done
[ $# = 0 ] || exit $status

lanes=(
  "gpu_backend.sh"
  "windows_program.sh test_deterministic_benchmark_from_the_startup_window test_mission_control
     test_missing_shader_is_a_fatal_error"
  "windows_program.sh test_command_line_deterministic_benchmark test_choices_reach_the_configuration_and_resizing_follows
     test_startup_window_ends_the_program test_command_line_ends_with_its_exit_code
     test_command_line_benchmark_aborted_at_a_prompt
     test_command_line_stress_test"
)
logs=$(mktemp -d /tmp/orvalis-lanes.XXXXXX)
for i in "${!lanes[@]}"; do
  lane=$(($(id -u) == 0 ? i + 1 : 0))
  # shellcheck disable=SC2086
  (ORVALIS_LANE=$lane bash "$here/"${lanes[i]} >"$logs/$i" 2>&1 || touch "$logs/$i.failed"
   echo "-- lane $((i + 1)): ${lanes[i]%% *}, $((SECONDS - began)) s" >"$logs/$i.title") &
  [ $lane = 0 ] && wait
done
wait
for i in "${!lanes[@]}"; do
  cat "$logs/$i.title" "$logs/$i"
  [ ! -f "$logs/$i.failed" ] || status=1
done
rm -rf "$logs"
echo "-- after both deterministic benchmarks"
bash "$here/windows_program.sh" test_deterministic_runs_agree test_compare_results || status=1
echo "-- the Windows program's tests took $((SECONDS - began)) s"
exit $status
