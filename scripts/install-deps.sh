#!/usr/bin/env bash
# Installs the Debian packages Pelimator needs to build, test and run; installs only what is
# missing and says what it does. Safe to run again.
set -euo pipefail

packages=(
  g++ clang cmake ninja-build pkg-config          # compilers (clang for sanitizers and fuzzers)
  ccache                                          # rebuilds of unchanged files from the cache
  libgtest-dev libgmock-dev libbenchmark-dev      # tests and benchmarks
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libgl-dev  # windows, SVG export
  libboost-dev                                    # R-tree and Catmull-Rom
  fonts-noto-cjk qt6-translations-l10n            # the interface is Japanese
  xvfb xauth xdotool imagemagick                  # end-to-end checks and screenshots
  python3 python3-ezdxf                           # an independent DXF reader for tests
  python3-matplotlib                              # ezdxf's drawing add-on: pictures to compare
  librsvg2-bin poppler-utils                      # rasterise exported SVG and PDF in tests
  desktop-file-utils dpkg-dev                     # checks the menu entry; the Debian package
  clang-format clang-tidy                         # the style check of changed files (.ci/run)
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages are installed"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
