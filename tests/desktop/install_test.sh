#!/usr/bin/env bash
# Installs the build into a fresh prefix, as a user or a packager would, and checks what a desktop
# needs of it:   install_test.sh CMAKE BUILD_DIR SOURCE_DIR
# the menu entry passes desktop-file-validate and names a program and an icon that are installed,
# the program found through the binary folder has Readme.txt beside it (Help > Readme), the
# installed picaxo-cli runs, and the built program in the build tree has its Readme too.
set -euo pipefail
CMAKE="$1" BUILD="$2" SOURCE="$3"
PREFIX="$(mktemp -d "${TMPDIR:-/tmp}/picaxo_install.XXXXXX")"
# Installing writes the build's install_manifest.txt; keep the one of the user's own installation.
MANIFEST="$BUILD/install_manifest.txt"
[ -f "$MANIFEST" ] && cp -p "$MANIFEST" "$PREFIX.manifest"
restore() {
  if [ -f "$PREFIX.manifest" ]; then mv -f "$PREFIX.manifest" "$MANIFEST"; else rm -f "$MANIFEST"; fi
  rm -rf "$PREFIX" "$PREFIX.log"
}
trap restore EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$CMAKE" --install "$BUILD" --prefix "$PREFIX" >"$PREFIX.log" 2>&1 || {
  cat "$PREFIX.log"; echo "FAIL: cmake --install"; exit 1; }

desktop="$PREFIX/share/applications/picaxo.desktop"
if [ ! -f "$desktop" ]; then
  fail "no menu entry at share/applications/picaxo.desktop"
else
  command -v desktop-file-validate >/dev/null || { echo "FAIL: desktop-file-validate missing"; exit 1; }
  # Hints count too: a clean entry gives no output at all.
  if ! out="$(desktop-file-validate "$desktop" 2>&1)" || [ -n "$out" ]; then
    fail "desktop-file-validate: $out"
  fi
  grep -qx 'MimeType=image/jpeg;image/bmp;image/png;image/webp;image/heic;image/heif;image/avif;image/tiff;' "$desktop" ||
    fail "the entry does not open every source format"
  exec_line="$(sed -n 's/^Exec=//p' "$desktop")"
  [ "$exec_line" = "picaxo %f" ] || fail "Exec is '$exec_line', not 'picaxo %f'"
  icon="$(sed -n 's/^Icon=//p' "$desktop")"
  [ -f "$PREFIX/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
    fail "the icon '$icon' is not installed as a scalable icon"
  for png in "$PREFIX"/share/icons/hicolor/*x*/apps/"$icon".png; do
    [ -e "$png" ] || continue
    size="$(basename "$(dirname "$(dirname "$png")")")"
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
    # A PNG's width and height are the two big-endian words at byte 16 of its header.
    dims="$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')"
    [ "$dims" = "$size" ] || fail "$png is $dims, not $size"
  done
fi

program="$PREFIX/bin/picaxo"
if [ ! -e "$program" ]; then
  fail "bin/picaxo is not installed"
else
  real="$(readlink -f "$program")"
  [ -x "$real" ] || fail "bin/picaxo does not lead to an executable"
  case "$real" in "$PREFIX"/*) ;; *) fail "bin/picaxo leads outside the prefix: $real" ;; esac
  cmp -s "$(dirname "$real")/Readme.txt" "$SOURCE/app/Readme.txt" ||
    fail "no Readme.txt beside the installed program ($(dirname "$real"))"
fi
"$PREFIX/bin/picaxo-cli" --version >/dev/null 2>&1 || fail "the installed picaxo-cli does not run"

# The prefix can be moved as a whole: the link into the program folder is relative.
link="$(readlink "$program" 2>/dev/null || true)"
case "$link" in /*) fail "bin/picaxo is an absolute link ($link)" ;; esac

built="$(find "$BUILD" -path '*/app/picaxo' -type f | head -n 1)"
[ -n "$built" ] && cmp -s "$(dirname "$built")/Readme.txt" "$SOURCE/app/Readme.txt" ||
  fail "no current Readme.txt beside the built program in the build tree"

[ "$failures" -eq 0 ] || exit 1
echo "installed and checked: $(cd "$PREFIX" && find . -type f -o -type l | sort | tr '\n' ' ')"
