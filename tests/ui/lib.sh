# Shared by the end-to-end scripts (sourced): the private temporary profile, starting the
# program, screenshots and waiting. The scripts run on the X server x-session.sh started.

# e2e_require TOOL...: skips (exit 77) without an X server or without one of the tools.
e2e_require() {
  [ -n "${DISPLAY:-}" ] || { echo "SKIP: ${NOTCHORA_NO_X:-no X server}"; exit 77; }
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 ||
      { echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"; exit 77; }
  done
}

# e2e_profile NAME: a fresh home, configuration and runtime folder in $work, removed (with
# every process in $pids) on exit; NAME names the failure screenshot.
e2e_profile() {
  e2e_name=$1
  work=$(mktemp -d)
  pids=()
  trap e2e_cleanup EXIT
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
  export XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/runtime"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  unset QT_QPA_PLATFORM NOTCHORA_PLATFORM
}
e2e_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}

# fail MESSAGE: the screen and the program's output, then exit 1.
fail() {
  echo "FAIL: $*"
  local saved="${TMPDIR:-/tmp}/notchora-$e2e_name-failure.png"
  import -window root "$saved" 2>/dev/null && echo "screen: $saved"
  [ -f "$work/app.log" ] && { echo "--- program output"; cat "$work/app.log"; }
  exit 1
}

# start_app [ARGUMENT...]: the program in the background, its pid in $app_pid.
start_app() {
  "$app" "$@" >"$work/app.log" 2>&1 &
  pids+=($!)
  app_pid=$!
}
# The program said nothing worrying.
quiet_log() { ! grep -Eiq "error|warning|critical" "$work/app.log"; }

shot() { import -window root "$work/shot.png" 2>/dev/null; }
# Brightness 0..255 of the brightest channel at x,y of the last screenshot.
level() { convert "$work/shot.png" -crop "1x1+$1+$2" -format '%[fx:int(255*max(r,max(g,b)))]' info:; }

# wait_until SECONDS COMMAND...: runs COMMAND until it succeeds; fails the script if the
# program exits meanwhile.
wait_until() {
  local until=$((SECONDS + $1)); shift
  until "$@"; do
    kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid"; fail "notchora exited (status $?)"; }
    [ $SECONDS -ge "$until" ] && return 1
    sleep 0.1
  done
}

# The pointer position, as "X Y", and moving it to X,Y in relative steps (real motion, as a
# mouse makes; a warp would make no motion events).
pointer() { xdotool getmouselocation --shell | awk -F= '/^[XY]=/{printf "%s ", $2}'; }
move_to() {
  local here
  read -r -a here <<<"$(pointer)"
  xdotool mousemove_relative -- $(($1 - here[0])) $(($2 - here[1]))
}
# rest_at_notch DY...: the pointer up to the notch in relative steps, then resting there.
rest_at_notch() {
  for dy in "$@"; do xdotool mousemove_relative -- 0 "$dy"; done
  sleep 0.05
  xdotool mousemove_relative -- 1 0
}
