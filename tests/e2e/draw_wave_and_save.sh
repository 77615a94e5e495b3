#!/usr/bin/env bash
# Starts the built program from a fresh program directory under Xvfb, presses Start, picks three
# points and double-clicks on the board's canvas, saves the drawing through the file menu, and
# checks the saved file and the settings file the program wrote beside itself.
set -euo pipefail
exe="$1"
checker="$2"

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

mkdir -p "$work/program" "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
cp "$exe" "$work/program/pelimator"

# Xvfb picks a free display itself (checking lock files first would race with any other X
# server starting at the same time) and writes its number once it accepts connections.
# -noreset: the server stays as it is when the readiness probe disconnects.
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
"$work/program/pelimator" >"$work/app.log" 2>&1 &
app_pid=$!

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

# The board and the tool panel both open at start, the empty board titled as the program too:
# the tool is the smaller of the two.
window_of '^Pelimator$' >/dev/null
for _ in $(seq 100); do
  [ "$(xdotool search --onlyvisible --name '^Pelimator$' | wc -l)" -ge 2 ] && break
  sleep 0.1
done
main=$(for id in $(xdotool search --onlyvisible --name '^Pelimator$'); do
  eval "$(xdotool getwindowgeometry --shell "$id")"
  echo "$((WIDTH * HEIGHT)) $id"
done | sort -n | head -n 1 | cut -d' ' -f2)
# The start button has the focus when the window opens: the drafter's first step.
xdotool windowfocus --sync "$main" key --clearmodifiers space
board=$(window_of ' — Pelimator$')
sleep 0.5
read -r bx by bw bh < <(geometry_of "$board")
cx=$((bx + bw / 2)); cy=$((by + bh / 2))
for dx in -300 -100 100; do
  xdotool mousemove "$((cx + dx))" "$((cy + (dx / 4)))" click 1
  sleep 0.2
done
xdotool mousemove "$((cx + 300))" "$cy" click --repeat 2 --delay 80 1

# The options are stored once the line is drawn.
ini="$work/program/Korvane.ini"
for _ in $(seq 100); do [ -s "$ini" ] && break; sleep 0.1; done
for key in Poly Type Mag Dir; do
  grep -qi "^$key=" "$ini" || { echo "settings file lacks $key"; cat "$ini" 2>/dev/null; exit 1; }
done

# Save through the board's ファイル menu (at the left of its menu bar) and its save dialog.
drawing="$work/saved.dxf"
read -r bx by bw bh < <(geometry_of "$board")
xdotool mousemove "$((bx + 30))" "$((by + 11))" click 1
sleep 0.5
xdotool key a  # 名前を付けて保存(A)...
window_of '名前を付けて保存' >/dev/null
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 20 "$drawing"
xdotool key Return
for _ in $(seq 50); do [ -s "$drawing" ] && break; sleep 0.1; done
[ -s "$drawing" ] || { echo "the drawing was not saved"; cat "$work/app.log"; exit 1; }
if [ -n "${E2E_SCREENSHOT:-}" ]; then import -window root "$E2E_SCREENSHOT"; fi
/usr/bin/python3 "$checker" "$drawing" 10
echo "e2e: wave drawn, settings stored, drawing saved"
