#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
#   scripts/test.sh --all                         what CI runs: the plain suite, the sanitized
#                                                 suite, then every fuzzer for 30 s
#   scripts/test.sh [ctest arguments]             the plain build in ./build
#   scripts/test.sh --sanitize [ctest arguments]  the same suite built with AddressSanitizer and
#                                                 UndefinedBehaviorSanitizer in ./build-sanitize
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ "${1:-}" = "--all" ]; then
  start=$SECONDS
  bash scripts/test.sh
  plain=$((SECONDS - start))
  echo "plain suite: $plain s"
  start=$SECONDS
  bash scripts/test.sh --sanitize
  sanitized=$((SECONDS - start))
  echo "sanitized suite: $sanitized s"
  start=$SECONDS
  bash scripts/fuzz.sh 30
  echo "plain suite: $plain s, sanitized suite: $sanitized s, fuzz smoke: $((SECONDS - start)) s"
  exit 0
fi

sanitize=0
if [ "${1:-}" = "--sanitize" ]; then
  sanitize=1
  shift
fi

bash scripts/install-deps.sh
if [ $sanitize -eq 0 ]; then
  bash scripts/build.sh -DNOTCHORA_BUILD_TESTS=ON
  cd "${NOTCHORA_BUILD_DIR:-build}"
  exec ctest --output-on-failure --timeout 300 "$@"
fi

build_dir=${NOTCHORA_SANITIZE_BUILD_DIR:-build-sanitize}
# Less optimisation and line tables only: the sanitized build compiles much faster, and the
# reports still name file and line. No benchmarks here.
NOTCHORA_BUILD_DIR=$build_dir bash scripts/build.sh -DNOTCHORA_BUILD_TESTS=ON -DNOTCHORA_SANITIZE=ON \
  -DNOTCHORA_BUILD_BENCH=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
cd "$build_dir"

# Reports also land in files, so one from a helper process whose exit code a test does not
# look at still fails the run.
reports=$PWD/sanitizer-reports
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="detect_leaks=1:log_path=$reports/asan:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$reports/ubsan:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"

# Labelled no-sanitize: tests that cannot run meaningfully under the sanitizers (each label
# carries its reason beside the test).
status=0
ctest --output-on-failure --timeout 600 -LE no-sanitize "$@" || status=$?

if compgen -G "$reports/*" >/dev/null; then
  echo "Sanitizer reports:"
  for f in "$reports"/*; do
    echo "== $f"
    head -c 20000 "$f"
  done
  status=1
fi
exit $status
