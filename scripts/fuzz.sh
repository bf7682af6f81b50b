#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for the given time.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]     (default 60 seconds, every target)
# Each target starts from its seeds in fuzz/corpus/ and grows a working corpus in
# build-fuzz/corpus/. An input that makes a target fail is copied to fuzz/regressions/<target>/,
# which the test suite replays; commit it with the fix. Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(record scene frame resources camera)

scripts/setup.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for t in "${targets[@]}"; do
  work="build-fuzz/corpus/$t"
  findings="build-fuzz/findings/$t"
  rm -rf "$findings"
  mkdir -p "$work" "$findings"
  extra=()
  [ -f "fuzz/$t.dict" ] && extra+=("-dict=fuzz/$t.dict")
  log="build-fuzz/fuzz-$t.log"
  if build-fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
       -max_len=8192 -print_final_stats=1 -artifact_prefix="$findings/" "${extra[@]}" \
       "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "fuzz $t: $runs inputs in ${seconds}s, no finding"
  else
    status=1
    echo "fuzz $t: FAILED; the log is $log"
    grep -m5 -E 'ERROR|runtime error|motefield fuzz:' "$log" || true
    mkdir -p "fuzz/regressions/$t"
    for f in "$findings"/*; do
      [ -f "$f" ] || continue
      cp "$f" "fuzz/regressions/$t/$(basename "$f")"
      echo "  kept as fuzz/regressions/$t/$(basename "$f")"
    done
  fi
done
exit $status
