#!/usr/bin/env bash
# What CI runs: installs what is missing, builds, checks that the package list reaches
# everything the build configured against, fuzzes each reader for a bounded time,
# then runs every test (widget tests offscreen, GL tests under xvfb-run) through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
scripts/check-deps.sh build
scripts/fuzz.sh "${FUZZ_SECONDS:-45}"
cd build
ctest --output-on-failure
