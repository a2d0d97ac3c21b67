#!/usr/bin/env bash
# No token, code or key in any output: runs the suite's sign-in and answer tests with every
# debug message of the program switched on, keeps everything they and the programs they start
# print, and looks through it for the secrets of those runs. The service's codes and tokens
# and the sign-in's verifier are 43 characters of URL-safe Base64; the codes actually issued
# are also looked for by value (the stand-in browser keeps the redirects aside).
# usage: secrets_not_logged.sh <tests folder> <test> ...
set -u
tests_dir=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export NOTCHORA_TEST_OUTPUT_DIR=$work
export QT_LOGGING_RULES="notchora.*=true"
# The test built with AddressSanitizer keeps its own leak check off (Qt frees some memory
# only at exit); use-after-free and overflows still end it.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
failures=0

for test in "$@"; do
  if ! "$tests_dir/$test" >"$work/$test.log" 2>&1; then
    echo "FAIL: $test itself failed; its end:"
    tail -n 30 "$work/$test.log"
    failures=$((failures + 1))
  fi
done

logs=("$work"/*.log)
codes=$(sed -n 's/.*[?&]code=\([^&#]*\).*/\1/p' "$work/redirects" 2>/dev/null | sort -u)
count=$(printf '%s' "$codes" | grep -c . || true)
if [ "$count" -eq 0 ]; then
  echo "FAIL: no sign-in ran, so there was nothing to look for"
  failures=$((failures + 1))
fi
for code in $codes; do
  if grep -lF -- "$code" "${logs[@]}"; then
    echo "FAIL: a sign-in code appears in the files above"
    failures=$((failures + 1))
  fi
done
shaped='(^|[^A-Za-z0-9_-])[A-Za-z0-9_-]{43}([^A-Za-z0-9_=-]|$)'
if grep -nE -- "$shaped" "${logs[@]}" | head -n 20 | grep .; then
  echo "FAIL: something shaped like a token or code appears above"
  failures=$((failures + 1))
fi

lines=$(cat "${logs[@]}" | wc -l)
echo "looked through ${#logs[@]} outputs ($lines lines) for $count issued codes and any token"
[ $failures -eq 0 ] || exit 1
echo "no secret in any output"
