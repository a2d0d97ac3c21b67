#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into ./build-fuzz and runs each for a while.
#   scripts/fuzz.sh [seconds per target, 30 by default] [target ...]
# Each starts from its committed seeds (fuzz/corpus/<target>); inputs it finds worth keeping
# go to build-fuzz/corpus/<target>, crashes to build-fuzz/findings/. Prints the executions
# and findings of every target; fails when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-30}
shift || true

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

build_dir=${NOTCHORA_FUZZ_BUILD_DIR:-build-fuzz}
CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNOTCHORA_BUILD_TESTS=OFF -DNOTCHORA_BUILD_FUZZERS=ON >/dev/null
cmake --build "$build_dir" -j"${NOTCHORA_JOBS:-2}" --target fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for seeds in fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi

findings_dir=$root/$build_dir/findings
rm -rf "$findings_dir"
mkdir -p "$findings_dir"
export ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:${LSAN_OPTIONS:-}"

failed=0
summary=()
for target in "${targets[@]}"; do
  corpus=$build_dir/corpus/$target
  log=$build_dir/$target.log
  mkdir -p "$corpus"
  status=0
  "$build_dir/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings_dir/$target-" \
    "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  runs=$(grep -ao 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  found=$(find "$findings_dir" -name "$target-*" | wc -l)
  summary+=("$(printf '%-22s %12s executions  %3s findings  exit %s' "$target" "${runs:-?}" "$found" "$status")")
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    failed=1
    echo "== $target found a problem; the end of its log:"
    tail -n 60 "$log"
  fi
done

echo "Fuzzing, $seconds s per target:"
printf '%s\n' "${summary[@]}"
exit $failed
