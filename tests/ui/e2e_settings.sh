#!/usr/bin/env bash
# Runs the real notchora on the X server x-session.sh started, with trayer as the tray
# host, and opens the settings window three ways: "Pengaturan…" in the tray menu, a second
# `notchora` start after the window was closed, and the gear of the open notch. Saves a
# screenshot of every part of the form to $NOTCHORA_E2E_SHOTS (default
# ${TMPDIR:-/tmp}/notchora-settings) for a person to look at.
set -u
app="${1:?usage: e2e_settings.sh path/to/notchora}"

[ -n "${DISPLAY:-}" ] || { echo "SKIP: ${NOTCHORA_NO_X:-no X server}"; exit 77; }
for tool in xdotool import convert trayer; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
shots="${NOTCHORA_E2E_SHOTS:-${TMPDIR:-/tmp}/notchora-settings}"
rm -rf "$shots" && mkdir -p "$shots"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  import -window root "$shots/failure.png" 2>/dev/null && echo "screen: $shots/failure.png"
  [ -f "$work/app.log" ] && { echo "--- program output"; cat "$work/app.log"; }
  exit 1
}

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM NOTCHORA_PLATFORM
# No D-Bus session: Qt docks its icon in the X11 tray.
unset DBUS_SESSION_BUS_ADDRESS

trayer --edge bottom --align right --widthtype pixel --width 120 --height 28 \
  --SetDockType true --transparent false --tint 0xdddddd >/dev/null 2>&1 &
pids+=($!)
tray=$(xdotool search --sync --onlyvisible --class trayer | head -n 1)
[ -n "$tray" ] || fail "the tray host did not start"

"$app" >"$work/app.log" 2>&1 &
pids+=($!)
app_pid=$!

settings_window() { xdotool search --onlyvisible --name '^Pengaturan Notchora$' 2>/dev/null | head -n 1; }
wait_window() {
  local until=$((SECONDS + $1))
  while [ -z "$(settings_window)" ]; do
    kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid"; fail "notchora exited (status $?)"; }
    [ $SECONDS -ge "$until" ] && return 1
    sleep 0.1
  done
}
wait_gone() {
  local until=$((SECONDS + $1))
  while [ -n "$(settings_window)" ]; do
    [ $SECONDS -ge "$until" ] && return 1
    sleep 0.1
  done
}
# The pointer position, as "X Y".
pointer() { xdotool getmouselocation --shell | awk -F= '/^[XY]=/{printf "%s ", $2}'; }
# Moves the pointer to X,Y in relative steps (real motion, as a mouse makes).
move_to() {
  local here
  read -r -a here <<<"$(pointer)"
  xdotool mousemove_relative -- $(($1 - here[0])) $(($2 - here[1]))
}

# A second start opens the window in the running program (the tray menu's action calls the
# same show(), checked in the status menu test).
sleep 1
"$app" || fail "handing 'reopen' to the running program failed"
wait_window 10 || fail "a second start did not open the settings window"
echo "ok: opened by a second start"

win=$(settings_window)
eval "$(xdotool getwindowgeometry --shell "$win")"
[ "$WIDTH" = 480 ] && [ "$HEIGHT" = 800 ] || fail "the window is ${WIDTH}x$HEIGHT, not 480x800"
echo "ok: 480x800"

# Page through the form with the wheel, one screenshot per page, until it stops moving.
move_to $((X + WIDTH / 2)) $((Y + 200))
sleep 1  # the first frame
page=1
import -window "$win" "$shots/settings-$page.png"
while [ $page -lt 12 ]; do
  for _ in 1 2 3 4 5 6; do xdotool click 5; done
  sleep 0.5
  next=$((page + 1))
  import -window "$win" "$shots/settings-$next.png"
  if [ "$(compare -metric AE "$shots/settings-$page.png" "$shots/settings-$next.png" null: 2>&1)" = 0 ]; then
    rm "$shots/settings-$next.png"
    break
  fi
  page=$next
done
[ $page -ge 3 ] || fail "the form did not scroll through its sections ($page pages)"
echo "ok: $page screenshots in $shots"

# Closing hides it; a second start brings it back.
xdotool windowactivate --sync "$win" >/dev/null 2>&1
xdotool key --clearmodifiers alt+F4
wait_gone 5 || fail "the settings window did not close"
"$app" || fail "handing 'reopen' to the running program failed"
wait_window 10 || fail "a second start did not bring the settings window back"
echo "ok: reopened by a second start"

xdotool windowactivate --sync "$(settings_window)" >/dev/null 2>&1
xdotool key --clearmodifiers alt+F4
wait_gone 5 || fail "the settings window did not close"

# The gear at the left of the open notch (tray x 490..950, gear x 504..528).
move_to 720 450
xdotool mousemove_relative -- 0 -220
xdotool mousemove_relative -- 0 -220
sleep 0.05
xdotool mousemove_relative -- 1 0
sleep 1
move_to 516 12
sleep 0.3
xdotool click 1
wait_window 10 || fail "the gear of the notch did not open the settings window"
echo "ok: opened from the notch"

[ "$(xdotool search --onlyvisible --name '^Pengaturan Notchora$' | wc -l)" = 1 ] ||
  fail "more than one settings window"
kill "$app_pid"
wait "$app_pid"
if grep -Eiq "error|warning|critical" "$work/app.log"; then
  fail "the program printed warnings: $(cat "$work/app.log")"
fi
echo "PASS"
