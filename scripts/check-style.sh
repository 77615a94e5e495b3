#!/usr/bin/env bash
# The style of the C++ files a change touches: clang-format with the repository's .clang-format on
# every touched file under src/, tests/ and bench/, each at most 800 lines; clang-tidy with
# .clang-tidy (warnings are errors; functions at most 80 lines) on the touched .cpp files under
# src/, reporting in touched headers only. A change is what differs from the merge base of HEAD
# with BASE (default origin/main, else main), working tree included; with no such base nothing
# is checked and the script says so.
# Usage: scripts/check-style.sh BUILD_DIR [BASE]   (BUILD_DIR holds compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:?usage: scripts/check-style.sh BUILD_DIR [BASE]}"
base="${2:-}"
if [[ -z "$base" ]]; then
  for candidate in origin/main main; do
    if git rev-parse -q --verify "$candidate^{commit}" >/dev/null; then
      base="$candidate"
      break
    fi
  done
fi
if [[ -z "$base" ]] || ! fork=$(git merge-base HEAD "$base" 2>/dev/null); then
  echo "check-style: no base to compare with (${base:-none}); nothing checked"
  exit 0
fi
mapfile -t touched < <(git diff --name-only --diff-filter=ACMR "$fork" -- \
  'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
echo "check-style: ${#touched[@]} C++ files touched since $(git rev-parse --short "$fork") ($base)"
[[ ${#touched[@]} -gt 0 ]] || exit 0

status=0
clang-format --dry-run -Werror "${touched[@]}" || status=1
# A file past 800 lines is split by job (clang-tidy below holds functions to 80 lines).
for file in "${touched[@]}"; do
  lines=$(wc -l < "$file")
  if [[ $lines -gt 800 ]]; then
    echo "check-style: $file has $lines lines; split it by job (at most 800)"
    status=1
  fi
done

sources=()
headers=()
for file in "${touched[@]}"; do
  case "$file" in
    src/*.cpp) sources+=("$file") ;;
    src/*.h) headers+=("$PWD/$file") ;;
  esac
done
if [[ ${#sources[@]} -gt 0 ]]; then
  # Warnings in headers nobody touched are not this change's to fix.
  filter='^$'
  if [[ ${#headers[@]} -gt 0 ]]; then
    filter="^($(printf '%s\n' "${headers[@]}" | sed 's/[.[\]*^$()+?{}|]/\\&/g' | paste -sd'|'))\$"
  fi
  printf '%s\n' "${sources[@]}" |
    xargs -P "${CMAKE_BUILD_PARALLEL_LEVEL:-2}" -n 4 clang-tidy -p "$build" --quiet \
      --warnings-as-errors='*' --header-filter="$filter" || status=1
fi
if [[ $status -ne 0 ]]; then
  echo "check-style: fix the files above (clang-format -i FILE; clang-tidy -p $build FILE)"
fi
exit $status
