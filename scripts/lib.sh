# Sourced by the scripts in scripts/ (all but install-deps),
# tests/wine/e2e-program, tests/package/deb-test and
# tests/scripts/lib-test, for what several of them do: configure and build
# a preset of CMakePresets.json (from the top of the source tree, where the
# scripts run), run the parts of a run one after another, choose the
# Windows word sizes this machine runs, a scratch directory, a private X
# server with or without a window manager, Wine prefixes on such a server,
# a terminal (tmux on a private socket), waiting with a deadline, and one
# clean-up at exit of everything started here. Works with and without
# `set -e`.

grain_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# --- clean-up: on_exit COMMAND registers a command; at exit they run last
# registered first, each whatever the others did.
grain_exit_actions=()
on_exit() { grain_exit_actions+=("$1"); }
grain_run_exit_actions() {
  local i
  for ((i = ${#grain_exit_actions[@]} - 1; i >= 0; i--)); do
    eval "${grain_exit_actions[$i]}" || true
  done
}
trap grain_run_exit_actions EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# make_work NAME: sets $work to a new scratch directory, removed at exit.
make_work() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/grain-$1.XXXXXX")
  on_exit "rm -rf '$work'"
}

# --- builds

# build_dir PRESET: the build directory of a configure preset (its
# binaryDir): build for default and programs, build-PRESET for the others.
build_dir() {
  case $1 in
    default | programs) echo build ;;
    *) echo "build-$1" ;;
  esac
}

# configure [-B DIR] PRESET [cmake options...]: configures the preset's
# build directory (or DIR) and sets $build to it. A directory configured
# from another source tree (as the fuzz targets' own project once made
# build-fuzz) is configured afresh; what else it holds stays.
configure() {
  local preset home dir=''
  if [ "$1" = -B ]; then
    dir=$2
    shift 2
  fi
  preset=$1
  shift
  build=${dir:-$(build_dir "$preset")}
  if [ -f "$build/CMakeCache.txt" ]; then
    home=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
    if [ "$(cd "$home" 2>/dev/null && pwd -P)" != "$(pwd -P)" ]; then
      rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
    fi
  fi
  cmake --preset "$preset" ${dir:+-B "$dir"} "$@"
}

# configured PRESET: as configure, but a build directory that has been
# configured already is used as it is.
configured() {
  build=$(build_dir "$1")
  [ -f "$build/build.ninja" ] || configure "$1"
}

# build_targets [TARGET...]: builds those targets of $build (configure),
# or all of it when none is named.
build_targets() {
  cmake --build "$build" ${1:+--target "$@"}
}

# --- parts of a run

# part NAME COMMAND...: runs one part of a run between a line "=== NAME"
# and one saying whether it passed and how long it took; a part that
# failed is added to $failed_parts. The next part runs either way.
failed_parts=()
part() {
  local name=$1 start=$SECONDS
  shift
  echo "=== $name"
  if "$@"; then
    echo "=== $name: passed ($((SECONDS - start)) s)"
  else
    echo "=== $name: FAILED ($((SECONDS - start)) s)"
    failed_parts+=("$name")
  fi
}

# parts_passed WHAT: true when no part failed; else says which did
# ("failed WHAT: NAME...") and fails.
parts_passed() {
  [ ${#failed_parts[@]} -eq 0 ] && return 0
  echo "failed $1: ${failed_parts[*]}"
  return 1
}

# --- the machine

# machine_line: this machine's processor and its number of cores, for the
# first line of a benchmark's figures.
machine_line() {
  echo "$(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores"
}

# windows_word_sizes: sets $word_sizes to the Windows word sizes whose
# programs this machine runs under Wine, 64 first: (64 32), or (64) where
# it cannot run 32-bit programs (scripts/host-runs-32bit), and then
# $no_32bit to why not (empty when it can).
windows_word_sizes() {
  if no_32bit=$("$grain_root/scripts/host-runs-32bit"); then
    word_sizes=(64 32) no_32bit=''
  else
    word_sizes=(64)
  fi
}

# --- waiting

# wait_for [-i SECONDS] SECONDS COMMAND...: runs COMMAND until it succeeds,
# every 0.1 s (or -i SECONDS), for SECONDS at most; fails if it never did.
wait_for() {
  local every=0.1
  if [ "$1" = -i ]; then
    every=$2
    shift 2
  fi
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep "$every"
  done
}

# --- a private X server

# start_xvfb [-s WxHxD] [-w]: starts a private X server (one at a time) on
# a display number it picks and sets $x_display (":N") once it accepts
# clients. -s: its screen (default 1024x768x24); -w: with a window manager
# (openbox), once that has taken the screen. The server never resets when
# its last client leaves: the short-lived clients that wait for it (or for
# a window) would otherwise be refused now and then while it resets.
# Needs $work (make_work). Stopped by stop_xvfb, or at exit.
xvfb_pid='' wm_pid='' x_display='' grain_xvfb_registered=''
start_xvfb() {
  local screen=1024x768x24 wm=0 opt OPTIND=1 number=
  while getopts s:w opt; do
    case $opt in
      s) screen=$OPTARG ;;
      w) wm=1 ;;
      *) return 2 ;;
    esac
  done
  [ -n "$grain_xvfb_registered" ] || { on_exit stop_xvfb; grain_xvfb_registered=1; }
  # Xvfb writes the number it took, and a line end, to the descriptor once
  # it is ready; it writes nothing if it ends first.
  rm -f "$work/displayfd"
  mkfifo "$work/displayfd"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$work/displayfd" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  read -r -t 60 number <"$work/displayfd" || true
  if [ -z "$number" ]; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    return 1
  fi
  x_display=:$number
  [ $wm = 1 ] || return 0
  DISPLAY=$x_display openbox >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  if ! wait_for 30 grain_wm_ready; then
    echo "openbox did not start:" >&2
    cat "$work/openbox.log" >&2
    return 1
  fi
}
grain_wm_ready() { DISPLAY=$x_display xdotool get_num_desktops >/dev/null 2>&1; }

# stop_xvfb: stops the X server (and window manager) that start_xvfb started.
stop_xvfb() {
  local pid
  for pid in $wm_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  wm_pid='' xvfb_pid='' x_display=''
}

# window_id TITLE: the id of the window of that title on $x_display; fails
# while there is none.
window_id() {
  xwininfo -display "$x_display" -name "$1" 2>/dev/null | awk '/Window id:/ { print $4; f = 1 } END { exit !f }'
}

# The title of the programs' window; has_window: true while $x_display
# shows a window of that title.
window_title="Graph window application"
has_window() { window_id "$window_title" >/dev/null; }

# --- Wine

# start_wine_display [start_xvfb options]: a private X server for Wine's
# window driver (GRAIN_WINE_DISPLAY, which tests/wine/run-under-wine
# passes on). At exit the Wine servers of this run's prefixes
# (make_wine_prefix) are stopped, before the X server. Needs $work.
grain_wine_registered=''
start_wine_display() {
  start_xvfb "$@" || return 1
  [ -n "$grain_wine_registered" ] || { on_exit grain_stop_wine_servers; grain_wine_registered=1; }
  export GRAIN_WINE_DISPLAY=$x_display
}
grain_stop_wine_servers() {
  local prefix
  for prefix in "$work"/prefix*; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
  done
  return 0
}

# make_wine_prefix BITS: a fresh Wine prefix of that word size (32 or 64),
# $work/prefixBITS, set as WINEPREFIX with GRAIN_WINE_ARCH for
# run-under-wine. Wine's crash dialog is off in it: a crash of a program
# left to the system is written out instead of waiting on a dialog that
# nobody closes. What wineboot and reg say goes to $work/winebootBITS.log;
# fails when either fails.
make_wine_prefix() {
  local wine=$grain_root/tests/wine/run-under-wine log=$work/wineboot$1.log
  export GRAIN_WINE_ARCH=$1 WINEPREFIX=$work/prefix$1
  "$wine" wineboot -i >"$log" 2>&1 &&
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >>"$log" 2>&1 &&
    wineserver -w
}

# --- a terminal

# start_terminal COMMAND: a new tmux server on a private socket in $work,
# whose one 80x24 pane runs COMMAND (a shell command line) in a subshell of
# a shell that then writes its exit status to a file: tmux was seen leaving
# a process it ran unreaped now and then (the pane dead, the process a
# zombie, no status). The pane stays when COMMAND ends, for
# capture-pane. term ARGS runs tmux on that server; stop_terminal ends it
# (also done at exit).
grain_tmux_registered=''
start_terminal() {
  [ -n "$grain_tmux_registered" ] || { on_exit stop_terminal; grain_tmux_registered=1; }
  echo "set-option -g remain-on-exit on" >"$work/tmux.conf"
  rm -f "$work/terminal.status"
  term -f "$work/tmux.conf" new-session -d -x 80 -y 24 "($1); echo \$? >'$work/terminal.status'"
}
term() { tmux -S "$work/tmux" "$@"; }
stop_terminal() { term kill-server 2>/dev/null || true; }
# terminal_ended: true once COMMAND has ended.
terminal_ended() { [ -s "$work/terminal.status" ]; }
# terminal_status: the exit status of COMMAND, once it ended.
terminal_status() { cat "$work/terminal.status"; }
# end_session SECONDS: ends a program on the terminal as a user does, a
# letter (which stops the plotting) and then Enter (the line it reads);
# prints its exit status once it ended, or fails if it did not within
# SECONDS.
end_session() {
  term send-keys -l q
  sleep 1  # the letter taken before the line is typed
  term send-keys Enter
  wait_for "$1" terminal_ended && terminal_status
}
# terminal_pid: the process id of COMMAND's subshell, the child of the pane's
# shell (the program's own when COMMAND starts with exec).
terminal_pid() {
  local shell
  shell=$(term display-message -p '#{pane_pid}')
  wait_for 10 grain_child_of "$shell" && echo "$grain_child"
}
grain_child_of() {
  grain_child=''
  [ -r "/proc/$1/task/$1/children" ] || return 1
  { read -r grain_child _ || true; } <"/proc/$1/task/$1/children"
  [ -n "$grain_child" ]
}
