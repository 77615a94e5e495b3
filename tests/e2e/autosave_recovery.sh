#!/usr/bin/env bash
# Nothing lost: the real program, autosaving every second, is killed with SIGKILL while it writes
# an autosave, started again and the drawing it offers opened and saved; that is the last
# complete autosave, entity for entity (ezdxf). Killed again after an autosave of a further edit,
# started again, the recovered drawing is saved by a clean close (終了 → 保存), and nothing is
# left to offer: the next start asks nothing. The drawing is a real floor plan, edited by
# deleting what crossing windows dragged with the mouse catch.
set -euo pipefail
exe="$1"
checker="$2"
corpus="$3"
drawing="$corpus/real-dxf/acad_2004_floorplan.dxf"

/usr/bin/python3 -c "import ezdxf" 2>/dev/null || { echo "skipped: ezdxf is not installed"; exit 77; }
[ -f "$drawing" ] || { echo "skipped: no real drawings at $corpus"; exit 77; }
# shellcheck source=session.sh
source "$(dirname "$0")/session.sh"
check() { /usr/bin/python3 "$checker" "$@"; }

e2e_prepare "$exe"
printf '[Board]\nAutosaveSeconds=1\n' >"$work/program/Korvane.ini"
cp "$drawing" "$work/plan.dxf"
chmod 644 "$work/plan.dxf"
e2e_start_x
export XDG_STATE_HOME="$work/state"
root="$work/state/Pelimator"
shot() { if [ -n "${E2E_SHOTS:-}" ]; then import -window root "$E2E_SHOTS/$1.png"; fi; }

start() {
  "$work/program/pelimator" "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
}
# board TITLE-FILE: the board window once it shows that drawing, focused, its origin in bx, by.
board() {
  board_id=$(window_of "^$1\\*? — Pelimator\$")
  wait_for "the board's geometry" settled_twice "$board_id"
  sleep 0.5  # the drawing's picture is made after the tab shows
  xdotool windowfocus --sync "$board_id"
  read -r bx by _ _ < <(geometry_of "$board_id")
}
# crossing_delete X1 Y1 X2 Y2: a crossing window dragged from right to left in the board (points
# relative to its origin, fitted to the plan: the canvas shows the whole plan), then Delete.
crossing_delete() {
  xdotool mousemove "$((bx + $1))" "$((by + $2))" mousedown 1
  for step in 1 2 3 4; do
    xdotool mousemove "$((bx + $1 + ($3 - $1) * step / 4))" "$((by + $2 + ($4 - $2) * step / 4))"
    sleep 0.1
  done
  xdotool mouseup 1
  sleep 0.3
  xdotool key Delete
}
ended() { ! kill -0 "$app_pid" 2>/dev/null; }
# recover TITLE-FILE: the recovery offer comes at the start; 決定 opens every drawing it lists.
recover() {
  local dialog
  dialog=$(window_of '^図面の復元 — Pelimator$')
  wait_for "the recovery dialog's focus" has_focus "$dialog"
  shot "$2"
  xdotool key Return
  board "$1"
}

# 1. Killed while the second autosave is being written.
start "$work/plan.dxf"
board plan.dxf
crossing_delete 560 240 460 200
first=$(check wait-new "$root" "$app_pid" "" 30)
caught=""
for region in "420 360 350 330" "640 300 600 270" "470 480 430 440"; do
  # Watching before the edit: the autosave's first file is caught the moment it is made.
  rm -f "$work/watching"
  # Killed once the new drawing file is complete and renamed, before the info file names it.
  check kill-in-write "$root" "$app_pid" "$first" 30 "$work/watching" 2 &
  killer=$!
  wait_for "the watch on the recovery folder" test -e "$work/watching"
  # shellcheck disable=SC2086  # the region is four numbers
  crossing_delete $region
  status=0
  wait "$killer" || status=$?
  if [ "$status" = 0 ]; then caught=1; break; fi
  [ "$status" = 2 ] || exit 1
  first=$(check last "$root" "$app_pid")  # written before the kill came: try once more
done
[ -n "$caught" ] || { echo "no autosave was caught being written"; exit 1; }
wait "$app_pid" || true
check freeze "$root" "$work/frozen1"
check fewer "$work/plan.dxf" "$work/frozen1/d1.dxf"  # the first edit is in it

# 2. The next start offers it; opened and saved, it is that autosave.
start
recover plan.dxf 1-offer
shot 2-recovered
save_as "$board_id" "$work/recovered1.dxf"
check same "$work/frozen1/d1.dxf" "$work/recovered1.dxf"

# 3. Another edit, autosaved, then killed.
board recovered1.dxf
before=$(check last "$root" "$app_pid")
crossing_delete 700 500 620 420
check wait-new "$root" "$app_pid" "$before" 30 >/dev/null
kill -9 "$app_pid"
wait "$app_pid" || true
check freeze "$root" "$work/frozen2"
check fewer "$work/recovered1.dxf" "$work/frozen2/d1.dxf"

# 4. Recovered again, then a clean close that saves it: the file is that autosave, nothing is
# left in the recovery folder.
start
recover recovered1.dxf 3-offer-again
shown=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)
xdotool mousemove "$((bx + 30))" "$((by + 11))" click 1
wait_for "the file menu" more_windows_than "$shown"
xdotool key x  # 終了(X)
wait_for "the question to save" more_windows_than "$shown"
sleep 0.5
xdotool key Return  # 保存
wait_for "the program's end" ended
wait "$app_pid"  # exit status 0: set -e ends the test otherwise
check same "$work/frozen2/d1.dxf" "$work/recovered1.dxf"
check empty "$root"

# 5. The next start offers nothing.
start
board_window=$(window_of '^Pelimator$')
sleep 2
if xdotool search --onlyvisible --name '^図面の復元' >/dev/null 2>&1; then
  echo "a recovery was offered after a clean close"
  exit 1
fi
echo "e2e: killed while autosaving and after an autosave, the drawing recovered as last autosaved;"
echo "     nothing offered after a clean close (window $board_window)"
