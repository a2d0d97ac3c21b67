#!/usr/bin/env bash
# The settings window opened three ways on the X server x-session.sh started, trayer the tray
# host; a screenshot of every part of the form goes to $NOTCHORA_E2E_SHOTS for a person.
set -u
app="${1:?usage: e2e_settings.sh path/to/notchora}"

source "$(dirname "$0")/lib.sh"
e2e_require xdotool import convert trayer
e2e_profile settings
shots="${NOTCHORA_E2E_SHOTS:-${TMPDIR:-/tmp}/notchora-settings}"
rm -rf "$shots" && mkdir -p "$shots"
# No D-Bus session: Qt docks its icon in the X11 tray.
unset DBUS_SESSION_BUS_ADDRESS

trayer --edge bottom --align right --widthtype pixel --width 120 --height 28 \
  --SetDockType true --transparent false --tint 0xdddddd >/dev/null 2>&1 &
pids+=($!)
tray=$(xdotool search --sync --onlyvisible --class trayer | head -n 1)
[ -n "$tray" ] || fail "the tray host did not start"

start_app

settings_window() { xdotool search --onlyvisible --name '^Pengaturan Notchora$' 2>/dev/null | head -n 1; }
has_window() { [ -n "$(settings_window)" ]; }
wait_window() { wait_until "$1" has_window; }
wait_gone() { wait_until "$1" eval '! has_window'; }

# "Pengaturan…" in the tray icon's menu (right click; the item second from the bottom).
icon_at() { xwininfo -tree -id "$tray" | awk '/"Notchora": \("notchora"/ { print $NF; exit }'; }
wait_until 10 eval '[ -n "$(icon_at)" ]' || fail "the tray icon did not dock"
IFS=+ read -r _ icon_x icon_y <<<"$(icon_at)"
xdotool mousemove $((icon_x + 8)) $((icon_y + 8)) click 3
sleep 0.5
xdotool key Up Up Return
wait_window 10 || fail "Pengaturan… in the tray menu did not open the settings window"
echo "ok: opened from the tray menu"
xdotool windowactivate --sync "$(settings_window)" >/dev/null 2>&1
xdotool key --clearmodifiers alt+F4
wait_gone 5 || fail "the settings window did not close"

# A second start opens it too.
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

xdotool windowactivate --sync "$win" >/dev/null 2>&1
xdotool key --clearmodifiers alt+F4
wait_gone 5 || fail "the settings window did not close"

# The gear at the left of the open notch (tray x 490..950, gear x 504..528).
move_to 720 450
rest_at_notch -220 -220
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
quiet_log || fail "the program printed warnings"
echo "PASS"
