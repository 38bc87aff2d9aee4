#!/usr/bin/env bash
# What CI runs: installs what is missing, builds, checks that the package list reaches
# everything the build configured against, fuzzes each reader for a bounded time,
# then runs every test (widget tests offscreen, GL tests under xvfb-run) through CTest, and
# the unit and window tests once more under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
# The benchmark is built on request only; built here, it cannot fall behind the code it measures.
cmake --build build -j"$(nproc)" --target torvane-bench
scripts/check-deps.sh build
scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
ctest --test-dir build --output-on-failure
# The unit and window tests again in a Debug build with AddressSanitizer and
# UndefinedBehaviorSanitizer, warnings as errors.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTORVANE_SANITIZE=ON -DTORVANE_WERROR=ON >/dev/null
cmake --build build-asan -j"$(nproc)" --target test_platform test_pose test_anim test_editor test_model test_widgets test_app
# Allocations too large to be made return null (and throw), as they do without the sanitizer,
# so the refusals of huge files are checked here too.
ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan -L unit --output-on-failure
