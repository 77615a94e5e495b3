#!/usr/bin/env bash
# Installs the built program into a temporary prefix and checks what the desktop reads there
# (the menu entry, its icon, the DXF association, the manual pages), then builds the Debian
# package and checks its file list and dependencies.
# install_and_package.sh BUILD-DIR CPACK
set -euo pipefail
build=$(cd "$1" && pwd)
cpack="$2"

for tool in desktop-file-validate dpkg-deb "$cpack"; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# --- cmake --install into a prefix of our own ---
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
  cat "$work/install.log"; fail "cmake --install"; }
for file in bin/pelimator bin/pelimator-batch \
            share/applications/pelimator.desktop \
            share/icons/hicolor/scalable/apps/pelimator.svg \
            share/mime/packages/pelimator.xml \
            share/man/man1/pelimator-batch.1.gz share/man/man1/pelimator.1.gz; do
  [ -s "$prefix/$file" ] || fail "the install lacks $file"
done
[ -x "$prefix/bin/pelimator" ] && [ -x "$prefix/bin/pelimator-batch" ] || fail "programs not executable"

entry="$prefix/share/applications/pelimator.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate refused the menu entry"
grep -qx 'Exec=pelimator %F' "$entry" || fail "the entry does not pass the files it is given"
grep -qx 'MimeType=image/vnd.dxf;' "$entry" || fail "the entry is not associated with DXF"
grep -q '^Name\[ja\]=' "$entry" && grep -q '^Comment\[ja\]=' "$entry" || fail "no Japanese name or comment"
grep -qx 'Categories=Graphics;Engineering;' "$entry" || fail "categories"
grep -qx 'Icon=pelimator' "$entry" || fail "icon name"

# The icon is an SVG document, and the MIME package defines the type the entry names.
head -c 400 "$prefix/share/icons/hicolor/scalable/apps/pelimator.svg" | grep -q '<svg' ||
  fail "the icon is no SVG"
grep -q 'type="image/vnd.dxf"' "$prefix/share/mime/packages/pelimator.xml" || fail "MIME type"
grep -q 'pattern="\*.dxf"' "$prefix/share/mime/packages/pelimator.xml" || fail "MIME glob"
if command -v update-mime-database >/dev/null 2>&1; then
  update-mime-database "$prefix/share/mime" >/dev/null 2>&1 || fail "update-mime-database"
  grep -q 'image/vnd.dxf' "$prefix/share/mime/globs2" || fail "the glob did not reach the database"
fi

# The manual page carries the --help text (an option and the Japanese description).
page=$(gzip -dc "$prefix/share/man/man1/pelimator-batch.1.gz")
grep -q '^\.TH PELIMATOR-BATCH 1' <<<"$page" || fail "man page header"
grep -q -- '\\-\\-points' <<<"$page" || fail "man page lacks --points"
grep -q '波線' <<<"$page" || fail "man page lacks the Japanese text"
if command -v man >/dev/null 2>&1; then
  MANWIDTH=100 man -l "$prefix/share/man/man1/pelimator-batch.1.gz" 2>"$work/man.err" |
    grep -q -- '--points' || { cat "$work/man.err"; fail "man cannot show the page"; }
fi

# The installed batch command runs from its new place.
"$prefix/bin/pelimator-batch" --help >/dev/null || fail "installed pelimator-batch --help"
"$prefix/bin/pelimator" --version | grep -q '^Pelimator ' || fail "installed pelimator --version"

# --- cpack -G DEB ---
if ! command -v dpkg-shlibdeps >/dev/null 2>&1; then
  echo "skipped: dpkg-shlibdeps (dpkg-dev) is not installed; the install was checked"
  exit 77
fi
(cd "$work" && "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" \
   >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack -G DEB"; }
deb=$(ls "$work"/package/pelimator_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
for file in /usr/bin/pelimator /usr/bin/pelimator-batch /usr/share/applications/pelimator.desktop \
            /usr/share/icons/hicolor/scalable/apps/pelimator.svg \
            /usr/share/mime/packages/pelimator.xml /usr/share/man/man1/pelimator-batch.1.gz; do
  grep -qx "$file" "$work/files" || { cat "$work/files"; fail "the package lacks $file"; }
done
# Nothing from the build or test tree goes into the package.
if grep -Eq '(_tests|_bench|board_ui_demo|\.a)$' "$work/files"; then
  cat "$work/files"; fail "the package holds build or test files"
fi

depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libqt6widgets6 libqt6gui6 libqt6network6 libqt6svg6 fonts-noto-cjk libc6; do
  grep -q "$dependency" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = pelimator ] || fail "package name"
echo "install and package: $(wc -l <"$work/files") entries; Depends: $depends"
