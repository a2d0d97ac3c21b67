#!/usr/bin/env bash
# The assistant end to end on the X server x-session.sh started, signed in to the
# development service.
set -u
app="${1:?usage: e2e_assistant.sh path/to/notchora}"
bin=$(dirname "$app")
here=$(cd "$(dirname "$0")" && pwd)

source "$here/lib.sh"
e2e_require xdotool import convert curl python3 xmessage xclip
e2e_profile assistant
# Secrets in the private file; the stand-in browser approves the sign-in at once.
export NOTCHORA_SECRET_STORE=file NOTCHORA_BIN_DIR="$bin" BROWSER="$here/../answerclient/fake-browser.sh"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$bin/notchora-answerd" --port "$port" >"$work/answerd.log" 2>&1 &
pids+=($!)
"$app" defaults write ai.baseURL "\"http://127.0.0.1:$port\"" >/dev/null || fail "cannot set the service address"
start_app

# The popup's card (360 x 340 at the top right of the 1440 x 900 work area, 16 points in).
popup_shown() { shot && [ "$(level 1250 200)" -le 20 ] && [ "$(level 1040 200)" -ge 100 ]; }

sleep 1
signin=$("$app" signin) || fail "signing in failed: $signin"
[ "$signin" = "Sudah masuk" ] || fail "signing in said: $signin"
echo "ok: signed in"

# The assistant's page, then the pointer resting on the notch opens the tray.
"$app" defaults write store.activeModuleID '"assistant"' >/dev/null
sleep 0.5
xdotool mousemove 720 450
sleep 0.1
rest_at_notch -220 -220
wait_until 5 eval 'shot && [ "$(level 500 60)" -le 8 ]' || fail "the tray did not open"
popup_shown && fail "the popup shows before any question"

# Another window has the keyboard; the field borrows it and gives it back once sent.
xmessage -geometry +100+600 "ketik di sini" >/dev/null 2>&1 &
pids+=($!)
other=$(xdotool search --sync --onlyvisible --class xmessage | head -n 1)
xdotool windowactivate --sync "$other" >/dev/null 2>&1
[ "$(xdotool getwindowfocus)" = "$other" ] || fail "the test window did not get the keyboard"

# The question field sits in the middle of the page's input row.
xdotool mousemove 680 66 click 1
sleep 0.3
xdotool type --delay 20 "Apa itu notch?"
xdotool key Return
wait_until 5 popup_shown || fail "the popup did not open at the top right"
echo "ok: the popup opened at the top right"
wait_until 2 eval '[ "$(xdotool getwindowfocus)" = "$other" ]' ||
  fail "sending did not hand the keyboard back"
echo "ok: the keyboard went back to the window that had it"

answer='Asisten: Jawaban uji untuk “Apa itu notch?”'
wait_until 10 eval '"$app" history show | grep -qF "$answer"' || fail "the history does not hold the answer"
echo "ok: the answer is stored"

# Ctrl+V with an image on the clipboard: its thumbnail shows in the page.
convert -size 64x64 xc:'#0000ff' "$work/blue.png"
xclip -selection clipboard -t image/png -i "$work/blue.png"
has_blue() {
  shot && [ "$(convert "$work/shot.png" -crop 460x172+490+0 +repage -fuzz 8% -fill black +opaque '#0000ff' \
    -fill white -opaque '#0000ff' -format '%[fx:int(mean*10000)]' info:)" -gt 0 ]
}
has_blue && fail "blue on the page before pasting"
xdotool mousemove 680 66 click 1
sleep 0.3
xdotool key ctrl+v
wait_until 5 has_blue || fail "pasting an image showed no thumbnail"
xdotool key Escape
echo "ok: a pasted image shows as a thumbnail"

# The place chosen in the settings: asked from a terminal, the popup opens at the left.
"$app" defaults write ai.popupPosition '"left"' >/dev/null
xdotool mousemove 720 600
out=$("$app" ask "Di kiri?") || fail "notchora ask failed: $out"
popup_left() { shot && [ "$(level 190 200)" -le 20 ] && [ "$(level 400 200)" -ge 100 ]; }
wait_until 5 popup_left || fail "the popup did not move to the left"
echo "ok: the popup opened at the left"

# Dragging its header moves it, and the place is kept.
xdotool mousemove 200 30 mousedown 1
for _ in 1 2 3 4 5 6 7 8 9 10; do xdotool mousemove_relative -- 30 20; done
xdotool mouseup 1
popup_moved() { shot && [ "$(level 500 400)" -le 20 ] && [ "$(level 190 200)" -ge 100 ]; }
wait_until 5 popup_moved || fail "dragging did not move the popup"
kept=$("$app" defaults read ai.popupPosition)
[ "$kept" = '"free"' ] || fail "the dragged place is not kept: $kept"
echo "ok: dragged and kept"

# The menu's "Riwayat" lists both threads (the newest first); picking the older one makes
# it the current thread.
"$app" history show | grep -qF "Kamu: Di kiri?" || fail "the question asked from a terminal is not the current thread"
xdotool mousemove 620 235 click 1
sleep 0.5
xdotool mousemove 428 432 click 1
sleep 0.5
xdotool mousemove 490 349 click 1
wait_until 5 eval '"$app" history show | grep -qF "Kamu: Apa itu notch?"' || fail "picking a thread in Riwayat did not switch to it"
echo "ok: switched threads from the menu"

# On every desktop, above, out of taskbars, pagers and window cycling, after closing and
# showing again too.
popup_id() { xdotool search --onlyvisible --name '^Notchora AI Assistant$' 2>/dev/null | head -n 1; }
popup_hints() {
  local id state
  id=$(popup_id)
  [ -n "$id" ] && xprop -id "$id" _NET_WM_DESKTOP | grep -q '= 4294967295$' || return 1
  state=$(xprop -id "$id" _NET_WM_STATE)
  for hint in SKIP_TASKBAR SKIP_PAGER ABOVE; do
    grep -q "_NET_WM_STATE_$hint" <<<"$state" || return 1
  done
  # Taskbars, pagers and Alt+Tab list what the window manager lists: the other window,
  # not the popup.
  xprop -root _NET_CLIENT_LIST | grep -qi "$(printf '0x%x' "$other")\b" || return 1
  ! xprop -root _NET_CLIENT_LIST | grep -qi "$(printf '0x%x' "$id")\b"
}
popup_hints || fail "the popup lacks its window hints: $(xprop -id "$(popup_id)" _NET_WM_DESKTOP _NET_WM_STATE)"
xdotool mousemove 652 235 click 1
wait_until 5 eval '[ -z "$(popup_id)" ]' || fail "the close button did not close the popup"
out=$("$app" ask --continue "Lagi?") || fail "notchora ask failed: $out"
wait_until 5 eval '[ -n "$(popup_id)" ]' || fail "the popup did not show again"
sleep 0.3 # the window manager has taken the window over
popup_hints || fail "showing again lost the hints: $(xprop -id "$(popup_id)" _NET_WM_DESKTOP _NET_WM_STATE)"
echo "ok: the popup keeps its window hints"

quiet_log || fail "the program printed warnings"
echo "PASS"
