#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target names...]
# Each target first writes its seed inputs (made by the test builders) into its corpus;
# files committed under fuzz/seeds/NAME/ are added too. Exits non-zero when any target
# finds a crash, a leak, undefined behaviour or a broken invariant; the input that did it
# is kept in build-fuzz/artifacts/NAME/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
CXX=clang++ CC=clang cmake -S fuzz -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in build-fuzz/fuzz_*; do
    [ -f "$t" ] && [ -x "$t" ] && targets+=("$(basename "$t")")
  done
fi

failed=()
for name in "${targets[@]}"; do
  target="build-fuzz/$name"
  short="${name#fuzz_}"
  corpus="build-fuzz/corpus/$short"
  artifacts="build-fuzz/artifacts/$short"
  log="build-fuzz/$name.log"
  mkdir -p "$corpus" "$artifacts"
  TORVANE_FUZZ_SEEDS="$corpus" "$target" >/dev/null 2>&1 || true
  if [ -d "fuzz/seeds/$short" ]; then
    cp -n fuzz/seeds/"$short"/* "$corpus"/ 2>/dev/null || true
  fi
  echo "== $name (${seconds}s, $(find "$corpus" -type f | wc -l) inputs in corpus)"
  if "$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "$log" | tail -n 2 || true
  else
    echo "!! $name failed; the end of $log:"
    tail -n 60 "$log"
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets clean"
