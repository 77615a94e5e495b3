#!/usr/bin/env bash
# Draws along an existing polyline: a drawing with one LWPOLYLINE is opened at start under Xvfb,
# Start is pressed, the polyline is Shift+clicked and Enter draws the wave along it; the drawing
# is saved through the file menu and read back by ezdxf, which finds the wave on the polyline.
set -euo pipefail
exe="$1"
checker="$2"

/usr/bin/python3 -c "import ezdxf" 2>/dev/null || { echo "skipped: ezdxf is not installed"; exit 77; }
# shellcheck source=session.sh
source "$(dirname "$0")/session.sh"

# A polyline of three segments, 300 mm long (ezdxf's default unit would be the metre); zoomed to
# fit, the middle of the canvas lies on its vertical segment x = 100.
/usr/bin/python3 - "$work/polyline.dxf" <<'PY'
import sys
import ezdxf
document = ezdxf.new("R2010", units=4)
document.modelspace().add_lwpolyline([(0, 0), (100, 0), (100, 100), (200, 100)])
document.saveas(sys.argv[1])
PY
e2e_prepare "$exe"
e2e_start_x
"$work/program/pelimator" "$work/polyline.dxf" >"$work/app.log" 2>&1 &
app_pid=$!

main=$(tool_window)
xdotool windowfocus --sync "$main" key --clearmodifiers space
board=$(window_of ' — Pelimator$')
wait_for "the board to settle" settled_twice "$board"
read -r bx by bw bh < <(geometry_of "$board")
cx=$((bx + bw / 2)); cy=$((by + bh / 2))
xdotool mousemove "$cx" "$cy" keydown shift click 1 keyup shift
wait_for "the board's focus" has_focus "$board"
xdotool key Return
ini="$work/program/Korvane.ini"
for _ in $(seq 100); do [ -s "$ini" ] && break; sleep 0.1; done
[ -s "$ini" ] || { echo "no line was drawn"; cat "$work/app.log"; exit 1; }

drawing="$work/saved.dxf"
save_as "$board" "$drawing"
/usr/bin/python3 "$checker" "$drawing"
echo "e2e: wave drawn along the polyline, drawing saved"
