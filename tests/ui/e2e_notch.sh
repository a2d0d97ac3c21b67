#!/usr/bin/env bash
# Runs the real notchora on the X server x-session.sh started (Xvfb 1440x900 + openbox +
# picom, which paints a grey desktop the black notch stands out against) and checks
# the screen: the black notch at the top centre, the tray opening when the pointer rests
# there (XTest relative motion, as a mouse makes) and closing when it leaves, and
# "Sembunyikan Widget" (handed over by a second start) hiding it.
set -u
app="${1:?usage: e2e_notch.sh path/to/notchora}"

[ -n "${DISPLAY:-}" ] || { echo "SKIP: ${NOTCHORA_NO_X:-no X server}"; exit 77; }
for tool in xdotool import convert; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -f "$work/shot.png" ] && cp "$work/shot.png" "${TMPDIR:-/tmp}/notchora-e2e-failure.png" &&
    echo "last screenshot: ${TMPDIR:-/tmp}/notchora-e2e-failure.png"
  [ -f "$work/app.log" ] && { echo "--- program output"; cat "$work/app.log"; }
  exit 1
}

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM NOTCHORA_PLATFORM

"$app" >"$work/app.log" 2>&1 &
pids+=($!)
app_pid=$!

shot() { import -window root "$work/shot.png" 2>/dev/null; }
# Brightness 0..255 of the brightest channel at x,y of the last screenshot.
level() { convert "$work/shot.png" -crop "1x1+$1+$2" -format '%[fx:int(255*max(r,max(g,b)))]' info:; }
is_black() { [ "$(level "$1" "$2")" -le 8 ]; }

# wait_for SECONDS CHECK...: screenshots until every "x,y,black|light" check holds.
wait_for() {
  local until=$((SECONDS + $1)); shift
  while :; do
    shot
    local ok=1
    for check in "$@"; do
      IFS=, read -r x y want <<<"$check"
      if [ "$want" = black ]; then is_black "$x" "$y" || ok=0; else ! is_black "$x" "$y" || ok=0; fi
    done
    [ $ok = 1 ] && return 0
    kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid"; fail "notchora exited (status $?)"; }
    [ $SECONDS -ge "$until" ] && return 1
    sleep 0.1
  done
}

# Collapsed: the 190 x 24 notch at the top centre (x 625..815), nothing below it.
collapsed=(720,3,black 630,12,black 810,12,black 720,23,black
           615,12,light 825,12,light 720,30,light 520,100,light)
# Expanded: the 460 x 172 tray (x 490..950, y 0..172).
expanded=(720,3,black 500,60,black 940,60,black 720,150,black 480,60,light 720,185,light)

wait_for 15 "${collapsed[@]}" || fail "the collapsed notch is not at the top centre"
echo "ok: black notch at the top centre"

# Pointer from the middle of the screen to the notch in relative steps (a warp would
# make no motion events), then rest there.
xdotool mousemove_relative -- 0 -220
xdotool mousemove_relative -- 0 -220
sleep 0.05
xdotool mousemove_relative -- 1 0
wait_for 5 "${expanded[@]}" || fail "resting at the notch did not open the tray"
echo "ok: the tray opened"

xdotool mousemove_relative -- 0 300
sleep 0.3
shot
is_black 500 60 || fail "the tray closed before 0.4 s"
wait_for 5 "${collapsed[@]}" || fail "the tray did not close after the pointer left"
echo "ok: the tray closed"

"$app" --toggle-widget || fail "handing 'toggle-widget' to the running program failed"
wait_for 5 720,3,light 720,12,light || fail "Sembunyikan Widget did not hide the notch"
echo "ok: hidden"
"$app" --toggle-widget || fail "handing 'toggle-widget' over failed"
wait_for 5 "${collapsed[@]}" || fail "Tampilkan Widget did not bring the notch back"
echo "ok: shown again"

kill -0 "$app_pid" 2>/dev/null || fail "notchora exited"

# Another desktop: the notch follows the user there and fades in.
xdotool set_desktop 1
wait_for 5 "${collapsed[@]}" || fail "the notch did not come to the new desktop"
[ "$(xdotool get_desktop)" = 1 ] || fail "the desktop did not switch"
echo "ok: followed to another desktop"

# The open tray takes clicks: the power button (right corner, x 912..936) quits.
xdotool mousemove_relative -- 0 -290
sleep 0.05
xdotool mousemove_relative -- 1 0
wait_for 5 "${expanded[@]}" || fail "the tray did not open again"
xdotool mousemove_relative -- 100 0
xdotool mousemove_relative -- 103 0
sleep 0.3
xdotool click 1
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the power button did not quit"
wait "$app_pid"
status=$?
[ "$status" = 0 ] || fail "quitting ended with status $status"
echo "ok: the power button quit"

if grep -Eiq "error|warning|critical" "$work/app.log"; then
  fail "the program printed warnings"
fi
echo "PASS"
