#!/usr/bin/env bash
# Prints the size of the tests against the size of the code they test, in
# non-blank lines of the files git tracks: tests/ (without its data and lock
# files) against app gpu game bench ui shaders scripts tools. The chart
# libraries in third_party/ are other projects' code and count as neither.
set -euo pipefail
cd "$(dirname "$0")/.."
lines() { git ls-files -z -- "$@" | grep -zvE '^tests/data/|-lock\.json$|\.lock$' | xargs -0 cat | grep -cv '^[[:space:]]*$'; }
tests=$(lines tests) code=$(lines app gpu game bench ui shaders scripts tools)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests: %d lines, code: %d lines, %.1f %%\n", t, c, 100 * t / c }'
