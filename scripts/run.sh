#!/usr/bin/env bash
# Installs what is missing, builds the release preset and starts Pelimator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release
cmake --build --preset release --target pelimator
exec build/release/src/app/pelimator "$@"
