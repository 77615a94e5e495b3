#!/usr/bin/env bash
# Whole commands on one large drawing: the 1,000,000-arc DXF that pelimator-batch writes from
# 1,000 straight paths of 1,001 points (about 200 MB). Times, a few runs each (median wall
# time, CPU time and peak memory from /usr/bin/time -v):
#   our open + save           dxf_corpus_roundtrip big.dxf out.dxf     (release build)
#   our open + draw + save    pelimator-batch --points short.txt big.dxf -o out.dxf
#   ezdxf                     ezdxf.readfile(big.dxf)                  (/usr/bin/python3)
#   LibreCAD                  librecad dxf2pdf -o out.pdf big.dxf      (when installed)
# and prints a Markdown table for bench/README.md.
#
# Usage: bench/dxf_compare.sh [RUNS]   (default 3; WORK=dir for the files, default /tmp;
#        PATHS=n for a smaller drawing to try the script, default 1000)
# The release preset is configured and the two programs built when needed.
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-3}"
paths="${PATHS:-1000}"
work="${WORK:-${TMPDIR:-/tmp}/dxf_compare}"
build=build/release
mkdir -p "$work"

[ -f "$build/build.ninja" ] || cmake --preset release >/dev/null
cmake --build --preset release --target pelimator-batch dxf_corpus_roundtrip -j 2 >/dev/null
batch="$build/src/batch/pelimator-batch"
roundtrip="$build/tests/dxf_corpus/dxf_corpus_roundtrip"

# The drawing: 1,000 paths along x, 5 units between points, 20 units apart; at 1:1 with the
# default settings every 5-unit segment becomes one arc of the wave. It is kept in $work for
# later runs (the same input before and after a change); delete it to have it written anew.
big="$work/big_$paths.dxf"
settings="$work/settings.ini"
: >"$settings"
if [ ! -f "$big" ]; then
  awk -v n="$paths" 'BEGIN { for (p = 0; p < n; ++p) {
                               if (p) print ""
                               for (i = 0; i <= 1000; ++i) print i * 5, p * 20 } }' \
    >"$work/paths.txt"
  "$batch" --points "$work/paths.txt" --path polyline --line wave --scale 1 \
    --settings "$settings" -o "$big" >/dev/null 2>&1
fi
printf '0 -100\n1000 -100\n' >"$work/short.txt"
size=$(stat -c %s "$big")
arcs=$(grep -c '^ARC' "$big" || true)
echo "drawing: $big, $((size / 1000000)) MB, $arcs arcs"

median() {
  sort -n | awk '{ v[NR] = $1 }
                 END { m = int((NR + 1) / 2); print (NR % 2) ? v[m] : (v[m] + v[m + 1]) / 2 }'
}

# measure LABEL COMMAND...: runs the command $runs times, then prints a table row.
measure() {
  local label="$1"
  shift
  local walls=() cpus=() peaks=()
  for ((run = 1; run <= runs; ++run)); do
    if ! /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/out.txt" 2>&1; then
      echo "| $label | failed: $(tail -n 3 "$work/out.txt" | tr '\n' ' ') | | | |"
      return
    fi
    walls+=("$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0
                for (i = 1; i <= n; ++i) s = s * 60 + t[i]; print s }' "$work/time.txt")")
    cpus+=("$(awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 }
               END { print u + s }' "$work/time.txt")")
    peaks+=("$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")")
  done
  local wall cpu peak
  wall=$(printf '%s\n' "${walls[@]}" | median)
  cpu=$(printf '%s\n' "${cpus[@]}" | median)
  peak=$(printf '%s\n' "${peaks[@]}" | median)
  awk -v l="$label" -v r="$runs" -v w="$wall" -v c="$cpu" -v p="$peak" -v s="$size" \
    -v all="$(printf '%s ' "${walls[@]}")" 'BEGIN {
      printf "| %s | %.2f s | %.2f s | %.0f MB | %.2f | %s|\n", l, w, c, p / 1024,
             p * 1024 / s, all }'
}

echo
echo "| command | wall (median of $runs) | CPU | peak memory | ÷ file size | wall of each run (s) |"
echo "|---|---:|---:|---:|---:|---|"
measure "our open + save (dxf_corpus_roundtrip)" "$roundtrip" "$big" "$work/saved.dxf"
measure "our open + draw + save (pelimator-batch)" "$batch" --points "$work/short.txt" \
  --settings "$settings" "$big" -o "$work/drawn.dxf"
measure "ezdxf readfile" /usr/bin/python3 -c 'import sys, ezdxf; ezdxf.readfile(sys.argv[1])' \
  "$big"
if command -v librecad >/dev/null; then
  measure "LibreCAD dxf2pdf" env QT_QPA_PLATFORM=offscreen librecad dxf2pdf \
    -o "$work/big.pdf" "$big"
else
  echo "| LibreCAD dxf2pdf | not installed (Debian librecad) | | | | |"
fi
