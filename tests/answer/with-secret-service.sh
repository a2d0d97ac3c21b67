#!/bin/sh
# Runs a command in its own D-Bus session with an unlocked gnome-keyring serving the Secret
# Service, in a throw-away home; without those tools as it is (its secret-service cases skip).
set -u
if ! command -v dbus-run-session >/dev/null 2>&1 ||
   ! command -v gnome-keyring-daemon >/dev/null 2>&1; then
  exec "$@"
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/home" "$scratch/runtime"
HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" \
XDG_DATA_HOME="$scratch/home/.local/share" XDG_CONFIG_HOME="$scratch/home/.config" \
dbus-run-session -- sh -c '
  # The keyring is created with this password and left unlocked, so nothing prompts.
  printf "notchora-test" | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1
  # Registers org.freedesktop.secrets on the bus now rather than on first use.
  gnome-keyring-daemon --start --components=secrets >/dev/null 2>&1
  NOTCHORA_TEST_SECRET_SERVICE=1 "$@"
' sh "$@"
