#!/usr/bin/env bash
# Installs playwright-core from npm (once) and opens the goldens, chart libraries inline, in Debian's Chromium offline.
set -euo pipefail
cd "$(dirname "$0")"
if [ ! -f node_modules/.package-lock.json ] || [ package.json -nt node_modules/.package-lock.json ]; then
  npm install --no-audit --no-fund --loglevel=error
fi
node --test report_charts.test.mjs
