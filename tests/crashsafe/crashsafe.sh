#!/usr/bin/env bash
# Crash-safe saving, with real processes:
#  1. A writer that saves the history (or a settings file) in a loop is killed with SIGKILL at
#     a random moment, again and again: the file left is always one whole version, readable,
#     0600, and any temporary file left beside it is private too.
#  2. On a full disk (a small tmpfs; skipped where mounting is not allowed) a save fails with
#     a clear message and the old file stays as it was.
# usage: crashsafe.sh <crashsafe_writer> <notchora> [kills per file, 200 by default]
set -u
writer=$1
notchora=$2
kills=${3:-${NOTCHORA_CRASH_KILLS:-200}}
work=$(mktemp -d)
mounted=
cleanup() {
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# --- 1. kills --------------------------------------------------------------------------------
kill_loop() { # kind file
  local kind=$1 file=$2 a=0 b=0 missing=0 leftovers=0 i
  for ((i = 0; i < kills; i++)); do
    "$writer" "churn-$kind" "$file" 2>/dev/null &
    local pid=$!
    # Anywhere from start-up to well into the saves.
    sleep "0.$(printf '%03d' $((RANDOM % 250)))"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    local seen
    seen=$("$writer" "check-$kind" "$file")
    case $seen in
      a) a=$((a + 1)) ;;
      b) b=$((b + 1)) ;;
      missing) missing=$((missing + 1)) ;;
      *) fail "$kind after kill $i: $seen"; cp "$file" "$work/broken-$kind-$i" 2>/dev/null ;;
    esac
    for temp in "$file".*; do
      [ -e "$temp" ] || continue
      # QLockFile's own files hold only a process id.
      case $temp in *.lock | *.rmlock) continue ;; esac
      leftovers=$((leftovers + 1))
      [ "$(stat -c %a "$temp")" = 600 ] || fail "$kind: $temp left readable by others"
      rm -f "$temp"
    done
  done
  echo "$kind: $kills kills; left the first version $a times, the second $b times," \
    "nothing yet $missing times; $leftovers temporary files left"
  [ $((a + b)) -gt 0 ] || fail "$kind: no kill came after a save"
}

mkdir -p "$work/data" "$work/config"
kill_loop history "$work/data/history.json"
"$writer" save-settings "$work/config/defaults.json" || fail "settings: first save"
kill_loop settings "$work/config/defaults.json"

# --- 2. a full disk --------------------------------------------------------------------------
disk=$work/disk
mkdir -p "$disk"
if [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs -o size=2m,mode=0700 notchora-full "$disk" 2>/dev/null; then
  echo "SKIP full disk: cannot mount a small tmpfs here (needs root and mount rights)"
else
  mounted=$disk
  export HOME=$disk/home XDG_CONFIG_HOME=$disk/config XDG_DATA_HOME=$disk/data
  export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  settings=$XDG_CONFIG_HOME/notchora/defaults.json
  history=$XDG_DATA_HOME/Notchora/history.json
  "$notchora" defaults write store.widgetScale 1.2 >/dev/null || fail "full disk: first write"
  "$writer" save-history "$history" a || fail "full disk: first history save"
  cp "$settings" "$work/settings-before"
  cp "$history" "$work/history-before"
  # Fill what is left.
  dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null
  big="\"$(head -c 100000 /dev/zero | tr '\0' x)\""
  "$notchora" defaults write store.payload "$big" >"$work/out" 2>"$work/err"
  status=$?
  [ $status -ne 0 ] || fail "full disk: the settings write reported success"
  grep -q "disk penuh" "$work/err" || fail "full disk: no clear message: $(cat "$work/err")"
  cmp -s "$settings" "$work/settings-before" || fail "full disk: the settings file changed"
  "$writer" save-history "$history" b 2>"$work/err"
  [ $? -ne 0 ] || fail "full disk: the history save reported success"
  grep -q "No space left on device" "$work/err" || fail "full disk: no reason logged: $(cat "$work/err")"
  cmp -s "$history" "$work/history-before" || fail "full disk: the history file changed"
  leftover=$(find "$disk/config" "$disk/data" -type f ! -name '*.json' ! -name '*.lock' | wc -l)
  [ "$leftover" -eq 0 ] || fail "full disk: $leftover temporary files left"
  echo "full disk: the settings write and the history save failed cleanly; old files intact"
  echo "  message: $(head -n1 "$work/err" | cut -c1-160)"
fi

if [ $failures -ne 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "crash-safe saving: all checks passed"
