#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh -DNOTCHORA_BUILD_TESTS=ON
cd "${NOTCHORA_BUILD_DIR:-build}"
ctest --output-on-failure --timeout 300 "$@"
