#!/usr/bin/env bash
# Starts the built program from a fresh program directory under Xvfb, presses Start, picks three
# points and double-clicks on the board's canvas, saves the drawing through the file menu, and
# checks the saved file and the settings file the program wrote beside itself.
set -euo pipefail
exe="$1"
checker="$2"

# shellcheck source=session.sh
source "$(dirname "$0")/session.sh"

e2e_prepare "$exe"
e2e_start_x
"$work/program/pelimator" >"$work/app.log" 2>&1 &
app_pid=$!

main=$(tool_window)
# The start button has the focus when the window opens: the drafter's first step.
xdotool windowfocus --sync "$main" key --clearmodifiers space
board=$(window_of ' — Pelimator$')
wait_for "the board to settle" settled_twice "$board"
read -r bx by bw bh < <(geometry_of "$board")
cx=$((bx + bw / 2)); cy=$((by + bh / 2))
for dx in -300 -100 100; do
  xdotool mousemove "$((cx + dx))" "$((cy + (dx / 4)))" click 1
done
xdotool mousemove "$((cx + 300))" "$cy" click --repeat 2 --delay 80 1

# The options are stored once the line is drawn.
ini="$work/program/Korvane.ini"
for _ in $(seq 100); do [ -s "$ini" ] && break; sleep 0.1; done
for key in Poly Type Mag Dir; do
  grep -qi "^$key=" "$ini" || { echo "settings file lacks $key"; cat "$ini" 2>/dev/null; exit 1; }
done

# Save through the board's file menu.
drawing="$work/saved.dxf"
save_as "$board" "$drawing"
/usr/bin/python3 "$checker" "$drawing" 10
echo "e2e: wave drawn, settings stored, drawing saved"
