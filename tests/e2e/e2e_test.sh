#!/usr/bin/env bash
# The real program on a private X server, driven by keys as a user would:
#   e2e_test.sh ROOT PICAXO PICAXO_CLI CLOSE_WINDOW FAILURE_DIR
# Run 1 opens a folder of three small photos, goes to the second (Page Down), saves it (Ctrl+S)
# and quits (Ctrl+Q). Run 2 starts again on the same per-user configuration, saves the third and
# is closed through its window frame. Run 3 is opened on one file and saves it. Run 4 changes the
# zoom, quits, and starts again elsewhere without an argument: the stored folders and zoom hold,
# in the window and in the per-user file. Run 5 starts on a fresh configuration, which shows the
# Batch Resize view, and saves every photo through the batch dialog. Run 6 answers Ctrl+Delete in
# the destination-name box with No (the name stays) and then with Yes (the photo goes into a trash
# that did not exist before, never beside the working folder). Run 7 saves a portrait photo stored
# landscape with an EXIF orientation, which must come out upright. Each saved file
# must hold exactly the bytes picaxo-cli writes for the same photo with the first-start settings
# (50 percent, quality 85); each run must end with status 0. Without any display the program must
# say so in one line and fail. On a failure a picture of the screen goes to
# FAILURE_DIR/e2e_failure.png.
set -euo pipefail
ROOT="$1" PICAXO="$2" CLI="$3" CLOSE_WINDOW="$4" FAILURE_DIR="$5"
source "$ROOT/scripts/x_session.sh"
PICAXO="$(realpath -e "$PICAXO")" CLI="$(realpath -e "$CLI")"
CLOSE_WINDOW="$(realpath -e "$CLOSE_WINDOW")"

TITLE='^Picaxo'
WAIT=30  # seconds for any one thing the program should do at once

step() { echo "== $*"; }
fail() {
  echo "FAIL: $*"
  if [ -n "${DISPLAY:-}" ]; then
    mkdir -p "$FAILURE_DIR"
    x_screenshot "$FAILURE_DIR/e2e_failure.png" && echo "screen: $FAILURE_DIR/e2e_failure.png"
  fi
  if [ -s "${X_TMP:-/nonexistent}/picaxo.log" ]; then
    echo "-- program output:"
    cat "$X_TMP/picaxo.log"
  fi
  exit 1
}

for tool in Xvfb xdotool import djpeg cjpeg cmp; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/test installs it)"
done
step "without a display: one line and a failure status, no crash"
for display in "" ":9999"; do
  status=0
  message="$(cd / && timeout 20 env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$display" \
    "$PICAXO" "$ROOT/testdata/photos" 2>&1)" || status=$?
  [ "$status" -ne 0 ] && [ "$status" -lt 124 ] ||
    fail "with DISPLAY='$display' the program ended with status $status"
  [ "$(printf '%s\n' "$message" | wc -l)" -eq 1 ] && [[ "$message" == *display* ]] ||
    fail "with DISPLAY='$display' the program said: $message"
done

x_session_start 1280x1024 || fail "no X server"

SRC="$X_TMP/photos" OUT="$X_TMP/out" EXPECTED="$X_TMP/expected"
mkdir -p "$SRC" "$OUT" "$EXPECTED"
photos=("$ROOT"/testdata/photos/*.jpg)
[ ${#photos[@]} -ge 3 ] || fail "fewer than three test photos in testdata/photos"
# Small copies keep every step fast; the third is a BMP so that both source kinds are saved.
djpeg -scale 1/8 "${photos[0]}" | cjpeg -quality 90 >"$SRC/a1.jpg"
djpeg -scale 1/8 "${photos[1]}" | cjpeg -quality 90 >"$SRC/a2.jpg"
djpeg -scale 1/8 -bmp "${photos[2]}" >"$SRC/a3.bmp"
"$CLI" convert --percent 50 --quality 85 "$SRC/a2.jpg" "$EXPECTED/a2.jpg" >/dev/null
"$CLI" convert --percent 50 --quality 85 "$SRC/a3.bmp" "$EXPECTED/a3.jpg" >/dev/null

# A file that the program writes appears before its last byte does: wait until it is the expected
# one, then say what is wrong if it never became so.
expect_saved() {
  local name="$1"
  x_wait_for "$WAIT" cmp -s "$OUT/$name" "$EXPECTED/$name" && return 0
  [ -e "$OUT/$name" ] || fail "$OUT/$name was not written"
  djpeg -outfile /dev/null "$OUT/$name" 2>/dev/null || fail "$OUT/$name is not a valid JPEG file"
  fail "$OUT/$name differs from picaxo-cli's conversion of the same photo"
}

# Sets WINDOW. The window appears before the deferred first scan has loaded a photo; give it that
# moment.
open_window() {
  WINDOW="$(x_wait_window "$TITLE" "$WAIT")" || fail "the window did not appear"
  x_focus "$WINDOW" || fail "the window did not take the keyboard focus"
  sleep 1
  x_picaxo_running || fail "the program ended right after start"
}

keys() { timeout 10 xdotool key --delay 100 "$@" || fail "xdotool could not send $*"; }

expect_clean_exit() {
  x_wait_exit "$WAIT" || fail "the program did not end after $1"
  [ "$PICAXO_STATUS" = 0 ] || fail "the program ended with status $PICAXO_STATUS after $1"
}

step "run 1: Page Down, Ctrl+S, Ctrl+Q"
# The working folder is the first-start destination; the folder argument is the source.
x_start_picaxo "$PICAXO" "$OUT" "$SRC" || fail "could not start $PICAXO"
open_window
keys Next ctrl+s
expect_saved a2.jpg
[ ! -e "$OUT/a1.jpg" ] || fail "Page Down did not move past the first photo before saving"
keys ctrl+q
expect_clean_exit "Ctrl+Q"

step "run 2: the same configuration again, Page Down twice, Ctrl+S, closed by its frame"
x_start_picaxo "$PICAXO" "$OUT" "$SRC" || fail "could not start $PICAXO"
open_window
keys Next Next ctrl+s
expect_saved a3.jpg
"$CLOSE_WINDOW" "$WINDOW" || fail "could not ask the window to close"
expect_clean_exit "the close request"

step "run 3: a fresh configuration, opened on a file as the desktop's Open With does, Ctrl+S"
# The file's folder is opened with that file current, so no key is needed to reach it.
export XDG_CONFIG_HOME="$X_TMP/config-open-with"
OUT="$X_TMP/out-open-with"
mkdir -p "$OUT"
x_start_picaxo "$PICAXO" "$OUT" "$SRC/a3.bmp" || fail "could not start $PICAXO"
open_window
keys ctrl+s
expect_saved a3.jpg
[ "$(ls "$OUT")" = a3.jpg ] || fail "more than the opened file was saved: $(ls "$OUT")"
keys ctrl+q
expect_clean_exit "Ctrl+Q"

step "run 4: settings changed in the window survive a restart and are in the per-user file"
export XDG_CONFIG_HOME="$X_TMP/config-restart"
OUT="$X_TMP/out-restart" ELSEWHERE="$X_TMP/elsewhere"
INI="$XDG_CONFIG_HOME/Quorlen/Picaxo/$(basename "$PICAXO").ini"
mkdir -p "$OUT" "$ELSEWHERE"
"$CLI" convert --percent 50 --quality 85 "$SRC/a1.jpg" "$EXPECTED/a1.jpg" >/dev/null
x_start_picaxo "$PICAXO" "$OUT" "$SRC" || fail "could not start $PICAXO"
open_window
# Keypad / chooses the 1:1 zoom, the fourth entry of the zoom list.
keys KP_Divide ctrl+q
expect_clean_exit "Ctrl+Q"
[ -f "$INI" ] || fail "closing the window wrote no settings to $INI"
for line in "Zoom=3" "InputDir=$SRC" "OutputDir=$OUT"; do
  grep -qxF "$line" "$INI" || fail "$INI lacks $line: $(cat "$INI")"
done
# Started again from another folder and without an argument, the stored folders apply: the first
# photo of the stored source is saved into the stored destination.
x_start_picaxo "$PICAXO" "$ELSEWHERE" || fail "could not start $PICAXO"
open_window
keys ctrl+s
expect_saved a1.jpg
[ -z "$(ls "$ELSEWHERE")" ] || fail "the restarted window saved into its working folder"
keys ctrl+q
expect_clean_exit "Ctrl+Q"
grep -qxF "Zoom=3" "$INI" || fail "the restart lost the zoom: $(cat "$INI")"

step "run 5: a fresh configuration starts in the Batch Resize view; Batch > Save All, Start, Close"
export XDG_CONFIG_HOME="$X_TMP/config-batch"
OUT="$X_TMP/out-batch"
mkdir -p "$OUT"
x_start_picaxo "$PICAXO" "$OUT" "$SRC" || fail "could not start $PICAXO"
open_window
# The menu opened by its letter has its first item, Save All, highlighted; Start and then Close
# are the dialog's default buttons.
keys alt+b Return
DIALOG="$(x_wait_window '^Batch process$' "$WAIT")" || fail "the batch dialog did not appear"
x_focus "$DIALOG" || fail "the batch dialog did not take the keyboard focus"
keys Return
for name in a1.jpg a2.jpg a3.jpg; do
  expect_saved "$name"
done
keys Return
# Without a window manager nothing gives the focus back to the window when the dialog closes.
x_focus "$WINDOW" || fail "the window did not take the keyboard focus back"
keys ctrl+q
expect_clean_exit "Ctrl+Q after the batch"
[ "$(ls "$OUT" | tr '\n' ' ')" = "a1.jpg a2.jpg a3.jpg " ] || fail "the batch wrote: $(ls "$OUT")"

step "run 6: Ctrl+Delete in the name box answered No leaves the name; Ctrl+Delete answered Yes trashes"
# A fresh configuration (the Batch Resize view) whose data folder has no trash yet. Thirteen Tabs
# lead from the view to the destination-name box; typing there proves the focus is in it.
export XDG_CONFIG_HOME="$X_TMP/config-delete"
SRC6="$X_TMP/photos-delete" OUT="$X_TMP/out-delete" TRASH="$X_TMP/home/.local/share/Trash"
mkdir -p "$SRC6" "$OUT"
cp "$SRC/a1.jpg" "$SRC6/a1.jpg"
[ ! -e "$TRASH" ] || fail "the data folder of this session has a trash already"
# The question box, answered by its key: a window titled as the main window, but another one.
answer() {
  local box="" deadline=$((SECONDS + WAIT))
  while [ -z "$box" ] && [ "$SECONDS" -lt "$deadline" ]; do
    box="$(timeout 5 xdotool search --onlyvisible --name '^Picaxo$' 2>/dev/null |
      grep -vx "$WINDOW" | head -n 1)" || true
    [ -n "$box" ] || sleep 0.2
  done
  [ -n "$box" ] || fail "no question box appeared after $2"
  x_focus "$box" || fail "the question box did not take the keyboard focus"
  keys "$1"
  x_focus "$WINDOW" || fail "the window did not take the keyboard focus back"
}
x_start_picaxo "$PICAXO" "$OUT" "$SRC6" || fail "could not start $PICAXO"
open_window
keys Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Home ctrl+Delete
answer n "Ctrl+Delete"
sleep 0.5
keys x ctrl+s
x_wait_for "$WAIT" test -s "$OUT/xa1.jpg" ||
  fail "the name box did not keep its name after Ctrl+Delete answered No: $(ls "$OUT")"
[ "$(ls "$OUT")" = xa1.jpg ] || fail "Ctrl+Delete answered No changed more: $(ls "$OUT")"
[ -f "$SRC6/a1.jpg" ] || fail "Ctrl+Delete answered No removed the photo"
keys ctrl+Delete
answer y "Ctrl+Delete"
x_wait_for "$WAIT" test -f "$TRASH/files/a1.jpg" || fail "the deleted photo is not in $TRASH/files"
[ ! -e "$SRC6/a1.jpg" ] || fail "the deleted photo is still in its folder"
grep -qx "Path=$SRC6/a1.jpg" "$TRASH/info/a1.jpg.trashinfo" ||
  fail "the trash record does not name the photo's place"
[ "$(stat -c %a "$TRASH")" = 700 ] || fail "the new trash is not private to the user"
for place in "$OUT" "$SRC6" "$X_TMP"; do
  [ ! -e "$place/files" ] && [ ! -e "$place/info" ] || fail "deleting left files or info in $place"
done
keys ctrl+q
expect_clean_exit "Ctrl+Q after the deletes"

step "run 7: a phone portrait stored landscape with EXIF orientation 6 is saved upright, Ctrl+S"
export XDG_CONFIG_HOME="$X_TMP/config-portrait"
OUT="$X_TMP/out-portrait" PORTRAIT="$X_TMP/portrait"
mkdir -p "$OUT" "$PORTRAIT"
# An APP1 marker right after the start of image: "Exif", a little-endian TIFF header and IFD0
# holding the one tag Orientation = 6 ("turn right to show").
{
  head -c 2 "$SRC/a1.jpg"
  printf '\xff\xe1\x00\x22Exif\x00\x00II*\x00\x08\x00\x00\x00\x01\x00'
  printf '\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00\x00\x00\x00\x00'
  tail -c +3 "$SRC/a1.jpg"
} >"$PORTRAIT/p1.jpg"
"$CLI" convert --percent 50 --quality 85 "$PORTRAIT/p1.jpg" "$EXPECTED/p1.jpg" >/dev/null
x_start_picaxo "$PICAXO" "$OUT" "$PORTRAIT" || fail "could not start $PICAXO"
open_window
keys ctrl+s
expect_saved p1.jpg
keys ctrl+q
expect_clean_exit "Ctrl+Q"
read -r _ stored_w stored_h < <(djpeg "$SRC/a1.jpg" | head -c 64 | tr '\n' ' ' | cut -d' ' -f1-3)
read -r _ saved_w saved_h < <(djpeg "$OUT/p1.jpg" | head -c 64 | tr '\n' ' ' | cut -d' ' -f1-3)
[ "$saved_w" -lt "$saved_h" ] && [ "$stored_w" -gt "$stored_h" ] ||
  fail "the portrait was saved ${saved_w}x${saved_h} from a ${stored_w}x${stored_h} stored picture"

step "all saved files equal picaxo-cli's"
