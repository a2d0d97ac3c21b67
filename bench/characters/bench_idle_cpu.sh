#!/usr/bin/env bash
# What the idle program costs with the companion pacing in the notch, with the widget
# hidden, and with the characters module switched off: CPU ticks and wake-ups (context
# switches of all threads) of the notchora process over a measured window, on its own
# X server (Xvfb 1440x900 + openbox + picom).
#   bench/characters/bench_idle_cpu.sh path/to/notchora [seconds]
set -u
app="${1:?usage: bench_idle_cpu.sh path/to/notchora [seconds]}"
seconds="${2:-60}"
settle=5

for tool in Xvfb openbox picom; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

number=""
for n in $(seq 141 200); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then number=$n; break; fi
done
[ -n "$number" ] || { echo "no free X display"; exit 1; }
export DISPLAY=":$number"
Xvfb "$DISPLAY" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
openbox >/dev/null 2>&1 & pids+=($!)
picom >/dev/null 2>&1 & pids+=($!)

ticks_per_second=$(getconf CLK_TCK)

# utime + stime of the process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Voluntary and involuntary context switches over all threads.
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/ctxt_switches/ { n += $2 } END { print n + 0 }'
}

# run LABEL SETUP: a fresh profile, SETUP run against it, then the measurement.
run() {
  local label="$1" setup="$2"
  local profile="$work/$label"
  mkdir -p "$profile/home" "$profile/config" "$profile/data" "$profile/runtime"
  chmod 700 "$profile/runtime"
  (
    export HOME="$profile/home" XDG_CONFIG_HOME="$profile/config" \
      XDG_DATA_HOME="$profile/data" XDG_RUNTIME_DIR="$profile/runtime"
    "$app" >"$profile/app.log" 2>&1 &
    local pid=$!
    sleep 2
    # Both as the user would do it to the running program.
    [ "$setup" = "hidden" ] && "$app" --toggle-widget >/dev/null 2>&1
    [ "$setup" = "off" ] &&
      "$app" defaults write store.enabledModuleIDs '["shortcuts","assistant"]' >/dev/null
    sleep "$settle"
    local t0 s0 t1 s1
    t0=$(cpu_ticks "$pid"); s0=$(switches "$pid")
    sleep "$seconds"
    t1=$(cpu_ticks "$pid"); s1=$(switches "$pid")
    kill "$pid"; wait "$pid" 2>/dev/null
    awk -v l="$label" -v t=$((t1 - t0)) -v s=$((s1 - s0)) -v hz="$ticks_per_second" \
      -v secs="$seconds" 'BEGIN {
        printf "%-22s %6d ticks  %6.2f %% of one core  %8d wake-ups (%.1f/s)\n",
               l, t, 100 * t / (hz * secs), s, s / secs }'
  )
}

echo "notchora idle over ${seconds} s ($DISPLAY, Xvfb + openbox + picom)"
run "character pacing" on
run "widget hidden" hidden
run "characters module off" off
