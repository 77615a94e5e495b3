#!/usr/bin/env bash
# Installs what is missing, builds the dev preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
preset="${1:-dev}"
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
