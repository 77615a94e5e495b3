#!/usr/bin/env bash
# Draws along an existing polyline: a drawing with one LWPOLYLINE is opened at start under Xvfb,
# Start is pressed, the polyline is Shift+clicked and Enter draws the wave along it; the drawing
# is saved through the file menu and read back by ezdxf, which finds the wave on the polyline.
set -euo pipefail
exe="$1"
checker="$2"

/usr/bin/python3 -c "import ezdxf" 2>/dev/null || { echo "skipped: ezdxf is not installed"; exit 77; }
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
# A polyline of three segments, 300 units long; zoomed to fit, the middle of the canvas lies on
# its vertical segment x = 100.
/usr/bin/python3 - "$work/polyline.dxf" <<'PY'
import sys
import ezdxf
document = ezdxf.new("R2010")
document.modelspace().add_lwpolyline([(0, 0), (100, 0), (100, 100), (200, 100)])
document.saveas(sys.argv[1])
PY
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
"$work/program/pelimator" "$work/polyline.dxf" >"$work/app.log" 2>&1 &
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

# The board and the tool panel both open at start: the tool is the smaller of the two windows.
window_of ' — Pelimator$' >/dev/null
for _ in $(seq 100); do
  [ "$(xdotool search --onlyvisible --name 'Pelimator$' | wc -l)" -ge 2 ] && break
  sleep 0.1
done
main=$(for id in $(xdotool search --onlyvisible --name 'Pelimator$'); do
  eval "$(xdotool getwindowgeometry --shell "$id")"
  echo "$((WIDTH * HEIGHT)) $id"
done | sort -n | head -n 1 | cut -d' ' -f2)
xdotool windowfocus --sync "$main" key --clearmodifiers space
board=$(window_of ' — Pelimator$')
sleep 0.5
read -r bx by bw bh < <(geometry_of "$board")
cx=$((bx + bw / 2)); cy=$((by + bh / 2))
xdotool mousemove "$cx" "$cy" keydown shift click 1 keyup shift
sleep 0.5
xdotool key Return
ini="$work/program/Korvane.ini"
for _ in $(seq 100); do [ -s "$ini" ] && break; sleep 0.1; done
[ -s "$ini" ] || { echo "no line was drawn"; cat "$work/app.log"; exit 1; }

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
/usr/bin/python3 "$checker" "$drawing"
echo "e2e: wave drawn along the polyline, drawing saved"
