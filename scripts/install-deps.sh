#!/usr/bin/env bash
# Installs the Debian packages Notchora needs to build, run and test.
# Safe to run again: apt-get only fetches what is missing. clang (with libFuzzer) builds the
# fuzz targets only; the program itself builds with the default compiler.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-tools-dev-tools libqt6svg6
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts qml6-module-qttest
  qml6-module-qtquick-window qml6-module-qtquick-templates qml6-module-qtqml-workerscript
  qml6-module-qtquick-shapes qml6-module-qtqml qml6-module-qtqml-models
  qtkeychain-qt6-dev libx11-dev libxi-dev libxext-dev libxfixes-dev libxcb1-dev
  fonts-material-design-icons-iconfont fonts-inter libcpp-httplib-dev libssl-dev libsqlite3-dev
  xvfb xauth openbox picom xdotool x11-utils imagemagick trayer xclip
  dbus dbus-daemon dbus-x11 gnome-keyring libsecret-tools python3
  curl xdg-utils desktop-file-utils
  clang libclang-rt-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
