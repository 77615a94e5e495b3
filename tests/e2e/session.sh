# Shared by the end-to-end scripts (sourced): a scratch folder with a copy of the program, a
# virtual X server of its own, and finding the program's windows. Sets work, DISPLAY, HOME and
# the XDG folders; the script sets app_pid once it starts the program.
work=$(mktemp -d)
display=""
app_pid=""
xvfb_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  if [ "${KEEP_E2E:-0}" = 1 ]; then echo "left in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# e2e_prepare EXE: the program copied into a fresh program folder, private home and runtime.
e2e_prepare() {
  mkdir -p "$work/program" "$work/home" "$work/runtime"
  chmod 700 "$work/runtime"
  cp "$1" "$work/program/pelimator"
}

# Xvfb picks a free display itself (checking lock files first would race with any other X
# server starting at the same time) and writes its number once it accepts connections.
# -noreset: the server stays as it is when the readiness probe disconnects.
e2e_start_x() {
  Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp -noreset \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 300); do
    display=$(head -n 1 "$work/display" 2>/dev/null || true)
    [ -n "$display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$display" ] || ! DISPLAY=":$display" xdotool getmouselocation >/dev/null 2>&1; then
    # Not a fault of the program: this machine cannot run an X server. Reported as skipped.
    echo "skipped: the virtual X server did not start"
    cat "$work/xvfb.log"
    exit 77
  fi
  export DISPLAY=":$display"
  export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/home/.config"
  unset QT_QPA_PLATFORM
}

window_of() {  # window_of TITLE-REGEX -> the first visible window id with that name
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window named $1" >&2
  cat "$work/app.log" >&2
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "the virtual X server has ended:" >&2
    cat "$work/xvfb.log" >&2
  fi
  return 1
}
geometry_of() {  # geometry_of WINDOW -> "X Y W H"
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$X $Y $WIDTH $HEIGHT"
}

# wait_for DESCRIPTION COMMAND...: runs COMMAND every 0.05 s until it succeeds (at most 15 s).
wait_for() {
  local what="$1"
  shift
  for _ in $(seq 300); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "timed out waiting for $what" >&2
  cat "$work/app.log" >&2
  return 1
}
settled_twice() {  # the window is mapped and has the same geometry in two reads 0.05 s apart
  local first
  first=$(xdotool getwindowgeometry "$1") || return 1
  sleep 0.05
  [ "$first" = "$(xdotool getwindowgeometry "$1")" ]
}
has_focus() {  # the keyboard focus is on window $1 (its client window or the X focus itself)
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] ||
    [ "$(xdotool getwindowfocus -f 2>/dev/null)" = "$1" ]
}
more_windows_than() {  # the program shows more than $1 windows
  [ "$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)" -gt "$1" ]
}

# tool_window -> the tool panel: the board and the panel both open at start, both titled with
# the program's name at the end; the panel is the smaller.
tool_window() {
  window_of 'Pelimator$' >/dev/null
  for _ in $(seq 100); do
    [ "$(xdotool search --onlyvisible --name 'Pelimator$' | wc -l)" -ge 2 ] && break
    sleep 0.1
  done
  for id in $(xdotool search --onlyvisible --name 'Pelimator$'); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    echo "$((WIDTH * HEIGHT)) $id"
  done | sort -n | head -n 1 | cut -d' ' -f2
}

# save_as BOARD-WINDOW FILE: saves through the board's ファイル menu (at the left of its menu bar)
# and its save dialog, waits for the file and takes a screenshot when E2E_SCREENSHOT names one.
save_as() {
  local bx by bw bh shown dialog
  read -r bx by bw bh < <(geometry_of "$1")
  shown=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)
  xdotool mousemove "$((bx + 30))" "$((by + 11))" click 1
  wait_for "the file menu" more_windows_than "$shown"
  xdotool key a  # 名前を付けて保存(A)...
  dialog=$(window_of '名前を付けて保存')
  wait_for "the save dialog's focus" has_focus "$dialog"
  xdotool key ctrl+a
  xdotool type --delay 20 "$2"
  xdotool key Return
  for _ in $(seq 50); do [ -s "$2" ] && break; sleep 0.1; done
  [ -s "$2" ] || { echo "the drawing was not saved"; cat "$work/app.log"; exit 1; }
  if [ -n "${E2E_SCREENSHOT:-}" ]; then import -window root "$E2E_SCREENSHOT"; fi
}
