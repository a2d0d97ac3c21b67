#!/bin/sh
# Runs a command on a private X server: Xvfb on the first free display from :71 (with
# openbox and picom after --desktop), stopped afterwards. Without the tools the command runs
# with no DISPLAY and NOTCHORA_NO_X saying why, and decides itself whether to skip.
# usage: x-session.sh [--desktop] WIDTHxHEIGHT command [args...]
set -u
desktop=0
[ "${1:-}" = --desktop ] && { desktop=1; shift; }
size=$1
shift
needed="Xvfb xdotool"
[ $desktop = 1 ] && needed="$needed openbox picom"
for tool in $needed; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    unset DISPLAY
    NOTCHORA_NO_X="$tool is not installed (scripts/install-deps.sh installs it)" exec "$@"
  fi
done

pids=""
trap 'for pid in $pids; do kill "$pid" 2>/dev/null; done; wait' EXIT
trap 'exit 1' INT TERM
ready() { DISPLAY=":$1" xdotool getmouselocation >/dev/null 2>&1; }
for n in $(seq 71 140); do
  { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
  # -noreset: a picture set on the root window outlives the client that set it.
  Xvfb ":$n" -screen 0 "${size}x24" -noreset -nolisten tcp >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 50); do
    ready "$n" || ! kill -0 "$pid" 2>/dev/null && break
    sleep 0.1
  done
  # Our own server must be the one answering: two sessions starting at once can pick the same
  # number, and the one that lost the lock would otherwise share the winner's display.
  if ready "$n" && kill -0 "$pid" 2>/dev/null; then
    pids=$pid
    export DISPLAY=":$n"
    break
  fi
  kill "$pid" 2>/dev/null
done
if [ -z "$pids" ]; then
  unset DISPLAY
  export NOTCHORA_NO_X="no Xvfb display could be started"
elif [ $desktop = 1 ]; then
  openbox >/dev/null 2>&1 &
  pids="$pids $!"
  picom --config /dev/null --backend xrender >/dev/null 2>&1 &
  pids="$pids $!"
  sleep 1 # the window manager and compositor take over the screen
fi
"$@"
