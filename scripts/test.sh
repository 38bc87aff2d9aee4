#!/usr/bin/env bash
# What CI runs: installs what is missing, builds, fuzzes each reader for a bounded time,
# then runs every test (widget tests offscreen, GL tests under xvfb-run) through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
scripts/fuzz.sh "${FUZZ_SECONDS:-45}"
cd build
ctest --output-on-failure
