#!/usr/bin/env bash
# Corrects an opened drawing with the mouse, as a drafter would: a click selects the upper
# vertical line, M moves it to the right by a base and a target point; a crossing window dragged
# from right to left selects the lower line and Delete removes it; the drawing is saved through
# the file menu and ezdxf compares the saved file with the opened one, entity for entity.
set -euo pipefail
exe="$1"
checker="$2"

/usr/bin/python3 -c "import ezdxf" 2>/dev/null || { echo "skipped: ezdxf is not installed"; exit 77; }
# shellcheck source=session.sh
source "$(dirname "$0")/session.sh"

opened="$work/plan.dxf"
/usr/bin/python3 "$checker" make "$opened"
e2e_prepare "$exe"
e2e_start_x
"$work/program/pelimator" "$opened" >"$work/app.log" 2>&1 &
app_pid=$!

tool_window >/dev/null
board=$(window_of ' — Pelimator$')
sleep 0.5
xdotool windowfocus --sync "$board"
read -r bx by bw bh < <(geometry_of "$board")
# Zoomed to fit, the drawing's middle (0,0) lies near the window's middle; the upper line runs
# from 30 to 140 units above it, the lower one as far below (a unit is about 2.5 pixels).
cx=$((bx + bw / 2)); cy=$((by + bh / 2))
shot() { if [ -n "${E2E_SHOTS:-}" ]; then import -window root "$E2E_SHOTS/$1.png"; fi; }

xdotool mousemove "$cx" "$((cy - 160))" click 1
sleep 0.3
shot 1-selected
xdotool key m
sleep 0.2
xdotool mousemove "$cx" "$((cy - 160))" click 1
sleep 0.2
for dx in 40 80 120; do xdotool mousemove "$((cx + dx))" "$((cy - 160))"; sleep 0.1; done
shot 2-band
xdotool click 1
sleep 0.3
shot 3-moved

xdotool mousemove "$((cx + 25))" "$((cy + 140))" mousedown 1
for dx in 10 -10 -25; do xdotool mousemove "$((cx + dx))" "$((cy + 180))"; sleep 0.1; done
shot 4-crossing
xdotool mouseup 1
sleep 0.3
xdotool key Delete
sleep 0.3
shot 5-deleted

saved="$work/saved.dxf"
save_as "$board" "$saved"
/usr/bin/python3 "$checker" check "$opened" "$saved"
echo "e2e: a line moved and a line deleted with the mouse, the rest of the drawing as it was"
