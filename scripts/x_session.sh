# A private X server for driving the real window: sourced by scripts/screenshot and the end-to-end
# test. Every wait is bounded, and x_session_stop (installed as an EXIT trap by x_session_start)
# ends the program and the server on every path.
#
#   x_session_start WIDTHxHEIGHT   starts Xvfb on a free display, exports DISPLAY, makes X_TMP
#   x_start_picaxo PICAXO CWD ARG  starts the program there (PICAXO_PID), output in X_TMP/picaxo.log
#   x_wait_window TITLE SECONDS    prints the id of the first visible window of that title
#   x_wait_exit SECONDS            waits for the program to end; its exit status in PICAXO_STATUS

X_PID=""
X_TMP=""
PICAXO_PID=""
PICAXO_STATUS=""

x_note() { echo "[x_session] $*" >&2; }

# Sends TERM, then KILL after two seconds, to one process of ours.
x_end_process() {
  local pid="$1" i
  [ -n "$pid" ] || return 0
  kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for i in $(seq 20); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
}

x_session_stop() {
  if [ -n "$PICAXO_PID" ]; then
    x_end_process "$PICAXO_PID"
    wait "$PICAXO_PID" 2>/dev/null || true
    PICAXO_PID=""
  fi
  if [ -n "$X_PID" ]; then
    x_end_process "$X_PID"
    wait "$X_PID" 2>/dev/null || true
    X_PID=""
  fi
  if [ -n "$X_TMP" ] && [ -z "${X_KEEP_TMP:-}" ]; then
    chmod -R u+rwx "$X_TMP" 2>/dev/null || true
    rm -rf "$X_TMP"
  fi
}

# Polls "$@" every 0.1 s until it succeeds or SECONDS have passed.
x_wait_for() {
  local deadline=$((SECONDS + $1)); shift
  while [ "$SECONDS" -lt "$deadline" ]; do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

x_session_start() {
  local size="${1:-1280x1024}"
  command -v Xvfb >/dev/null || { x_note "Xvfb is not installed"; return 1; }
  X_TMP="$(mktemp -d "${TMPDIR:-/tmp}/picaxo_x.XXXXXX")"
  : >"$X_TMP/display"
  trap x_session_stop EXIT
  trap 'exit 130' INT TERM
  # -displayfd lets the server pick a free display and write its number once it accepts clients,
  # so parallel runs never collide and nobody has to guess how long start-up takes.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset \
    3>"$X_TMP/display" >"$X_TMP/xvfb.log" 2>&1 &
  X_PID=$!
  if ! x_wait_for 20 grep -q '[0-9]' "$X_TMP/display"; then
    x_note "Xvfb did not start within 20 s:"
    cat "$X_TMP/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$(tr -dc '0-9' <"$X_TMP/display")"
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
  x_note "Xvfb on $DISPLAY"
}

# x_start_picaxo PICAXO WORKING_FOLDER [ARG...]: a fresh per-user configuration unless the caller
# exported XDG_CONFIG_HOME already.
x_start_picaxo() {
  local program cwd="$2"
  program="$(realpath -e "$1")" || { x_note "no program at $1"; return 1; }
  shift 2
  : "${XDG_CONFIG_HOME:=$X_TMP/config}"
  mkdir -p "$XDG_CONFIG_HOME" "$X_TMP/home"
  mkdir -p -m 700 "$X_TMP/runtime"
  (cd "$cwd" && exec env HOME="$X_TMP/home" XDG_CONFIG_HOME="$XDG_CONFIG_HOME" \
    XDG_DATA_HOME="$X_TMP/home/.local/share" XDG_RUNTIME_DIR="$X_TMP/runtime" \
    "$program" "$@") >>"$X_TMP/picaxo.log" 2>&1 &
  PICAXO_PID=$!
  PICAXO_STATUS=""
}

x_picaxo_running() { [ -n "$PICAXO_PID" ] && kill -0 "$PICAXO_PID" 2>/dev/null; }
x_picaxo_ended() { ! x_picaxo_running; }

# Polls rather than waiting in xdotool, so that a program that ended is noticed at once.
x_wait_window() {
  local title="$1" id deadline=$((SECONDS + $2))
  while [ "$SECONDS" -lt "$deadline" ]; do
    id="$(timeout 5 xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1)" || true
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    if ! x_picaxo_running; then
      x_note "the program ended before its window appeared"
      return 1
    fi
    sleep 0.2
  done
  x_note "no visible window titled '$title' within $2 s"
  return 1
}

# Gives the window the keyboard focus; without a window manager the server does it directly.
x_focus() {
  timeout 10 xdotool windowfocus --sync "$1" 2>/dev/null || timeout 5 xdotool windowfocus "$1"
}

x_wait_exit() {
  local seconds="$1"
  if ! x_wait_for "$seconds" x_picaxo_ended; then
    x_note "the program did not end within $seconds s"
    return 1
  fi
  PICAXO_STATUS=0
  wait "$PICAXO_PID" || PICAXO_STATUS=$?
  PICAXO_PID=""
}

# Saves a picture of the whole screen (for a failing test: what the window showed).
x_screenshot() {
  timeout 20 import -window root "$1"
}
