#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each of them.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   search for the given time (default 60 s)
#   scripts/fuzz.sh --runs N [TARGET...]               N inputs each from a fixed seed (CI)
# A timed search starts from the seeds in fuzz/corpus/ and the kept inputs in fuzz/regressions/,
# and grows a working corpus in build-fuzz/corpus/ from one run to the next. A counted run starts
# from the repository's inputs alone with a fixed seed, so it tries the same inputs every time and
# fails only when the code changed. An input that makes a target fail is copied to
# fuzz/regressions/<target>/, which the test suite replays; commit it with the fix. Exits non-zero
# on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
limit=(-max_total_time="${1:-60}")
label="${1:-60} s"
counted=0
if [ "${1:-}" = "--runs" ]; then
  limit=(-runs="$2" -seed=1)
  label="a fixed seed"
  counted=1
  shift 2
else
  shift || true
fi
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
  [ $counted -eq 1 ] && rm -rf "$work"
  rm -rf "$findings"
  mkdir -p "$work" "$findings" "fuzz/regressions/$t"
  extra=()
  [ -f "fuzz/$t.dict" ] && extra+=("-dict=fuzz/$t.dict")
  log="build-fuzz/fuzz-$t.log"
  start=$(date +%s)
  if build-fuzz/fuzz_"$t" "${limit[@]}" -timeout=20 -rss_limit_mb=4096 -max_len=8192 \
       -print_final_stats=1 -artifact_prefix="$findings/" "${extra[@]}" \
       "$work" "fuzz/corpus/$t" "fuzz/regressions/$t" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "fuzz $t: $runs inputs from $label in $(($(date +%s) - start)) s, no finding"
  else
    status=1
    echo "fuzz $t: FAILED; the log is $log"
    grep -m5 -E 'ERROR|runtime error|motefield fuzz:' "$log" || true
    for f in "$findings"/*; do
      [ -f "$f" ] || continue
      cp "$f" "fuzz/regressions/$t/$(basename "$f")"
      echo "  kept as fuzz/regressions/$t/$(basename "$f")"
    done
  fi
done
exit $status
