#!/usr/bin/env bash
# Every fuzz target for ten minutes (or $1 seconds), with the executions and findings of each.
set -euo pipefail
exec bash "$(dirname "$0")/../scripts/fuzz.sh" "${1:-600}" "${@:2}"
