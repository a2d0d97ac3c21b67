#!/usr/bin/env bash
# Installs what is missing, builds, and starts Notchora on the current X display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh -DNOTCHORA_BUILD_TESTS=OFF
exec build/bin/notchora "$@"
