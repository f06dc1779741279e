#!/usr/bin/env bash
# Measures the renderer's frame rate under Wine with lavapipe at 854 x 480 on
# one still scene per configuration (eight balls, debris bursts alive): levels
# 0 and 5 at 72 ray steps with debris 80, 640, 2048 and 8192; ray steps 8 and
# 256 with debris 80; the brute-force reference renderer (over at least 30 s
# and three frames, so that no single frame decides its figure); and a fill-only
# renderer as the ceiling of the present path. Prints a table with each
# figure's frame time as a multiple of the ceiling's, then the ratios the
# renderer is held to, and saves screenshots of level 0 and of level 5 with
# 8192 debris in artifacts/.
#   scripts/measure-fps.sh [SECONDS [RUNS]]   (10 s per configuration, 1 run by default)
# The machine's load moves every figure: compare ratios from one run, and
# repeat the run (RUNS runs one after another in one session of the Wine
# environment, each with its table and the load average it started at).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
runs=${2:-1}
bash scripts/prepare-windows.sh
mkdir -p artifacts
bash scripts/wine-env.sh run bash -c '
  . scripts/wine/lib.sh
  start_screen >/dev/null || exit 1
  seconds='"$seconds"'
  # level debris raySteps renderer seconds minFrames [screenshot]
  configs=(
    "5 80 72 fill $seconds 2"
    "0 80 72 program $seconds 2 renderer-level0.png"
    "0 640 72 program $seconds 2"
    "0 2048 72 program $seconds 2"
    "0 8192 72 program $seconds 2"
    "5 80 72 program $seconds 2"
    "5 640 72 program $seconds 2"
    "5 2048 72 program $seconds 2"
    "5 8192 72 program $seconds 2 renderer-level5-debris8192.png"
    "0 80 8 program $seconds 2"
    "0 80 256 program $seconds 2"
    "5 80 8 program $seconds 2"
    "5 80 256 program $seconds 2"
    "5 80 72 reference 30 3"
  )
  for run in $(seq 1 '"$runs"'); do
  echo "run $run of '"$runs"', load average $(cut -d" " -f1-3 /proc/loadavg)"
  results=$(mktemp)
  for config in "${configs[@]}"; do
    set -- $config
    out=$(mktemp)
    (cd /tmp && exec wine "$RUN_DIR/OrvalisFrameTimer.exe" --measure "$1" "$2" "$3" "$5" "$4" "$6" >"$out" 2>/dev/null) &
    pid=$!
    if [ -n "${7:-}" ]; then
      # The still scene is up once the timing starts.
      for i in $(seq 1 600); do grep -q "^measure: timing" "$out" && break; sleep 0.5; done
      sleep 2
      window=$(xdotool search --name "^Orvalis Benchmark" | head -1)
      [ -n "$window" ] && import -window "$window" "$ARTIFACTS/$7" 2>/dev/null
    fi
    wait "$pid" || true
    tr -d "\r" <"$out" | grep "^measure: .* FPS" >>"$results" || echo "measure: no figure for: $config" >&2
    tail -1 "$results"
    rm -f "$out"
  done
  echo
  awk "
    function fps_of(line,   f) { match(line, /[0-9]+ frames in [0-9.]+ s/); split(substr(line, RSTART, RLENGTH), f, \" \"); return f[1] / f[4] }
    function key_of(line,   p) {
      split(line, p, /[:,] */)
      sub(/ renderer/, \"\", p[2]); sub(/level /, \"\", p[3]); sub(/debris /, \"\", p[4]); sub(/ray steps /, \"\", p[5])
      return p[2] \" \" p[3] \" \" p[4] \" \" p[5]
    }
    {
      fps[NR] = fps_of(\$0); line[NR] = \$0; by[key_of(\$0)] = fps[NR]
    }
    function ms(k) { return (k in by && by[k] > 0) ? 1000 / by[k] : 0 }
    function ratio(a, b) { return (ms(a) > 0 && ms(b) > 0) ? ms(a) / ms(b) : 0 }
    END {
      ceiling = by[\"fill 5 80 72\"]
      printf \"%-58s %9s %10s %13s\\n\", \"configuration\", \"FPS\", \"frame ms\", \"x fill-only\"
      for (i = 1; i <= NR; i++) {
        split(line[i], part, \": \"); sub(/, 854x480.*/, \"\", part[2])
        printf \"%-58s %9.2f %10.1f %13.1f\\n\", part[2], fps[i], 1000 / fps[i], ceiling / fps[i]
      }
      print \"\"
      printf \"%-66s %9s %9s\\n\", \"ratio (frame times, 72 ray steps unless said)\", \"measured\", \"target\"
      printf \"%-66s %9.2f %9s\\n\", \"level 5 / level 0, debris 80\", ratio(\"program 5 80 72\", \"program 0 80 72\"), \"<= 1.3\"
      printf \"%-66s %9.0f %9s\\n\", \"brute-force reference / program, level 5, debris 80\", ratio(\"reference 5 80 72\", \"program 5 80 72\"), \">= 200\"
      printf \"%-66s %9.2f %9s\\n\", \"fill-only / program, level 5, debris 80\", ratio(\"fill 5 80 72\", \"program 5 80 72\"), \">= 0.20\"
      printf \"%-66s %9.2f %9s\\n\", \"level 0, debris 8192 / debris 80\", ratio(\"program 0 8192 72\", \"program 0 80 72\"), \"> 1\"
      printf \"%-66s %9.2f %9s\\n\", \"level 5, debris 8192 / debris 80\", ratio(\"program 5 8192 72\", \"program 5 80 72\"), \"> 1\"
      printf \"%-66s %9.2f %9s\\n\", \"level 0, ray steps 256 / 8, debris 80\", ratio(\"program 0 80 256\", \"program 0 80 8\"), \"> 1\"
      printf \"%-66s %9.2f %9s\\n\", \"level 5, ray steps 256 / 8, debris 80\", ratio(\"program 5 80 256\", \"program 5 80 8\"), \"> 1\"
    }" "$results"
  echo
  done
  stop_screen
'
