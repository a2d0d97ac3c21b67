#!/usr/bin/env bash
# Configures and builds Notchora into ./build (or $NOTCHORA_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${NOTCHORA_BUILD_DIR:-build}
jobs=${NOTCHORA_JOBS:-2}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir" -j"$jobs"
