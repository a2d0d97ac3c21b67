#!/usr/bin/env bash
# Installs what is missing, builds, and starts Notchora on the current X display, together
# with the development answer service so the assistant works without an account.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh -DNOTCHORA_BUILD_TESTS=OFF

# Register the desktop entry, so the browser hands the sign-in redirect
# (soalika-answer://callback) back to Notchora.
apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$apps"
install -m 0644 build/share/applications/notchora.desktop "$apps/notchora.desktop"
if command -v update-desktop-database >/dev/null; then update-desktop-database -q "$apps" || true; fi
if command -v xdg-mime >/dev/null; then
    xdg-mime default notchora.desktop x-scheme-handler/soalika-answer || true
fi

# The development answer service on loopback, for this run only (set
# NOTCHORA_ANSWER_BASE_URL yourself to use another service).
answerd_pid=
if [ -z "${NOTCHORA_ANSWER_BASE_URL:-}" ]; then
    port=${NOTCHORA_ANSWERD_PORT:-8788}
    build/bin/notchora-answerd --port "$port" >/dev/null &
    answerd_pid=$!
    export NOTCHORA_ANSWER_BASE_URL="http://127.0.0.1:$port"
fi
trap '[ -n "$answerd_pid" ] && kill "$answerd_pid" 2>/dev/null || true' EXIT
build/bin/notchora "$@"
