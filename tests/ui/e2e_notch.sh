#!/usr/bin/env bash
# The real notchora on the X server x-session.sh started (picom paints a grey desktop the
# black notch stands out against), checked on screenshots.
set -u
app="${1:?usage: e2e_notch.sh path/to/notchora}"

source "$(dirname "$0")/lib.sh"
e2e_require xdotool xprop xmessage import convert
e2e_profile notch
start_app

is_black() { [ "$(level "$1" "$2")" -le 8 ]; }

# holds CHECK...: every "x,y,black|light" check holds on a fresh screenshot.
holds() {
  shot
  for check in "$@"; do
    IFS=, read -r x y want <<<"$check"
    if [ "$want" = black ]; then is_black "$x" "$y" || return 1; else ! is_black "$x" "$y" || return 1; fi
  done
}
# stays SECONDS CHECK...: the checks hold on every screenshot for SECONDS.
stays() {
  local until=$((SECONDS + $1)); shift
  while [ $SECONDS -lt "$until" ]; do holds "$@" || return 1; done
}
# wait_for SECONDS CHECK...: screenshots until every check holds.
wait_for() { local seconds=$1; shift; wait_until "$seconds" holds "$@"; }
panel_id() { xdotool search --onlyvisible --pid "$app_pid" --name '^Notchora$' | head -n 1; }

# Collapsed: the 190 x 24 notch at the top centre (x 625..815), nothing below it.
collapsed=(720,3,black 630,12,black 810,12,black 720,23,black
           615,12,light 825,12,light 720,30,light 520,100,light)
# Expanded: the 460 x 172 tray (x 490..950, y 0..172).
expanded=(720,3,black 500,60,black 940,60,black 720,150,black 480,60,light 720,185,light)

wait_for 15 "${collapsed[@]}" || fail "the collapsed notch is not at the top centre"
echo "ok: black notch at the top centre"

rest_at_notch -220 -220
wait_for 5 "${expanded[@]}" || fail "resting at the notch did not open the tray"
echo "ok: the tray opened"

xdotool mousemove_relative -- 0 300
wait_for 5 "${collapsed[@]}" || fail "the tray did not close after the pointer left"
echo "ok: the tray closed"

"$app" --toggle-widget || fail "handing 'toggle-widget' to the running program failed"
wait_for 5 720,3,light 720,12,light || fail "Sembunyikan Widget did not hide the notch"
echo "ok: hidden"
"$app" --toggle-widget || fail "handing 'toggle-widget' over failed"
wait_for 5 "${collapsed[@]}" || fail "Tampilkan Widget did not bring the notch back"
echo "ok: shown again"

kill -0 "$app_pid" 2>/dev/null || fail "notchora exited"

# A pager writing the current desktop again is no switch: the notch does not fade.
xprop -root -f _NET_CURRENT_DESKTOP 32c -set _NET_CURRENT_DESKTOP "$(xdotool get_desktop)"
stays 2 720,1,black 630,12,black || fail "rewriting the current desktop faded the notch"
echo "ok: no fade without a switch"

# Another desktop: the notch follows the user there and fades in.
xdotool set_desktop 1
wait_for 5 "${collapsed[@]}" || fail "the notch did not come to the new desktop"
[ "$(xdotool get_desktop)" = 1 ] || fail "the desktop did not switch"
echo "ok: followed to another desktop"

# The open tray takes clicks: the power button (right corner, x 912..936) quits.
rest_at_notch -290
wait_for 5 "${expanded[@]}" || fail "the tray did not open again"

# A click on the open tray (the second page dot, x 729..735 at y 162) leaves the keyboard
# with the window that had it.
xmessage -geometry +100+500 "ketik di sini" >/dev/null 2>&1 &
pids+=($!)
other=$(xdotool search --sync --onlyvisible --class xmessage | head -n 1)
[ -n "$other" ] && xdotool windowactivate --sync "$other" >/dev/null 2>&1
focused=$(xdotool getwindowfocus)
[ -n "$other" ] && [ "$focused" = "$other" ] || fail "the test window did not get the keyboard"
xdotool mousemove_relative -- 10 142
sleep 0.1
xdotool click 1
sleep 0.3
[ "$(xdotool getwindowfocus)" = "$focused" ] || fail "a click on the tray took the keyboard"
xdotool mousemove_relative -- 0 300
wait_for 5 "${collapsed[@]}" || fail "the tray did not close after the click"
[ "$(xdotool getwindowfocus)" = "$focused" ] || fail "the keyboard did not stay with the window"
echo "ok: the tray leaves the keyboard alone"

rest_at_notch -220 -220
wait_for 5 "${expanded[@]}" || fail "the tray did not open a third time"
xdotool mousemove_relative -- 100 0
xdotool mousemove_relative -- 90 0
sleep 0.3
xdotool click 1
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the power button did not quit"
wait "$app_pid"
status=$?
[ "$status" = 0 ] || fail "quitting ended with status $status"
echo "ok: the power button quit"

quiet_log || fail "the program printed warnings"

# Not moving with the desktops: on every desktop from the start and after hiding and
# showing again, out of taskbars and pagers; a desktop switch does not fade it.
"$app" defaults write store.moveWithSpaces false >/dev/null || fail "writing the setting failed"
start_app
wait_for 15 "${collapsed[@]}" || fail "the notch did not come back after a restart"
sticky_hints() {
  local id
  id=$(panel_id)
  [ -n "$id" ] || return 1
  xprop -id "$id" _NET_WM_DESKTOP | grep -q '= 4294967295$' || return 1
  local state
  state=$(xprop -id "$id" _NET_WM_STATE)
  # Window managers that keep sticky windows on desktop 0xFFFFFFFF need not list STICKY.
  for hint in SKIP_TASKBAR SKIP_PAGER; do
    grep -q "_NET_WM_STATE_$hint" <<<"$state" || return 1
  done
}
sticky_hints || fail "the panel is not on every desktop from the start: $(xprop -id "$(panel_id)" _NET_WM_DESKTOP _NET_WM_STATE)"
for round in 1 2 3; do
  "$app" --toggle-widget || fail "toggle-widget failed"
  wait_for 5 720,3,light || fail "Sembunyikan Widget did not hide the notch"
  "$app" --toggle-widget || fail "toggle-widget failed"
  wait_for 5 "${collapsed[@]}" || fail "Tampilkan Widget did not show the notch"
  sleep 0.3 # the window manager has taken the window over
  sticky_hints || fail "showing again (round $round) lost the hints: $(xprop -id "$(panel_id)" _NET_WM_DESKTOP _NET_WM_STATE)"
done
echo "ok: on every desktop after hiding and showing"
xdotool set_desktop 2
stays 1 720,1,black 630,12,black || fail "the notch faded or vanished on a desktop switch"
[ "$(xdotool get_desktop)" = 2 ] || fail "the desktop did not switch"
echo "ok: there on every desktop without a fade"

# map_as NAME PROPERTY VALUE GEOMETRY: an xmessage window mapped with one EWMH hint set,
# its id in $mapped.
map_as() {
  xmessage -name "$1" -geometry "$4" -bg white "$1" >/dev/null 2>&1 &
  pids+=($!)
  mapped=$(xdotool search --sync --onlyvisible --classname "$1" | head -n 1)
  [ -n "$mapped" ] || return 1
  xdotool windowunmap --sync "$mapped"
  xprop -id "$mapped" -f "$2" 32a -set "$2" "$3"
  xdotool windowmap --sync "$mapped"
}
# A focused full-screen window and a dock mapped later stay below the notch.
map_as layarpenuh _NET_WM_STATE _NET_WM_STATE_FULLSCREEN 400x300+100+100 ||
  fail "no full-screen test window"
full=$mapped
xdotool windowactivate --sync "$full" >/dev/null 2>&1
xwininfo -id "$full" | grep -q 'Width: 1440' || fail "the test window did not go full screen"
xdotool windowraise "$full"
wait_for 5 720,1,black 630,12,black 300,400,light || fail "a focused full-screen window covers the notch"
stays 1 720,1,black 630,12,black || fail "a focused full-screen window covers the notch"
echo "ok: above a focused full-screen window"
map_as dok _NET_WM_WINDOW_TYPE _NET_WM_WINDOW_TYPE_DOCK 1440x40+0+0 ||
  fail "no dock test window"
stays 1 720,1,black 630,12,black || fail "a dock mapped later covers the notch"
echo "ok: above a dock mapped later"

kill "$app_pid"
wait "$app_pid"
quiet_log || fail "the program printed warnings"
echo "PASS"
