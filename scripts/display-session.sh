#!/usr/bin/env bash
# Runs a command under a virtual X server and a session bus of its own, and takes both
# down when the command ends, however it ends:
#   scripts/display-session.sh <command> [arguments...]
# The server takes the first free display number (so that any number of these run side by side)
# and has one 1280x1024 screen of 24-bit colour. Each display test runs through this script, so
# that the tests run in parallel: one may move the pointer of its server or hold its bus names
# without meeting another. Listing the tests of a test program (--gtest_list_tests) needs neither
# and runs the program as it is. The exit status is the command's; 125 when the server does not
# start.
set -uo pipefail

for argument in "$@"; do
  if [ "$argument" = --gtest_list_tests ]; then exec "$@"; fi
done

# Helpers that die with this script, also when it is killed outright (a test's time running out).
dies_with_us=()
if command -v setpriv >/dev/null && setpriv --pdeathsig TERM true 2>/dev/null; then
  dies_with_us=(setpriv --pdeathsig TERM)
fi

scratch="$(mktemp -d "${TMPDIR:-/tmp}/display-session-XXXXXX")" || exit 125
children=()
finish() {
  local child tries
  for child in "${children[@]}"; do kill -TERM "$child" 2>/dev/null; done
  # The X server now and then misses a TERM that comes while it is busy (it then sleeps on until
  # another signal comes): whatever still runs after a while is asked again, then killed.
  for child in "${children[@]}"; do
    for tries in $(seq 100); do
      kill -0 "$child" 2>/dev/null || break
      [ "$tries" = 50 ] && kill -TERM "$child" 2>/dev/null
      sleep 0.1
    done
    kill -KILL "$child" 2>/dev/null
    wait "$child" 2>/dev/null
  done
  rm -rf "$scratch"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# A display number is ours while we hold the lock of its file in $locks; the server holds the lock
# too (it inherits the lock's descriptor, which no other child gets), so that the number stays
# taken until the server has gone. An X server that ends closes its listening sockets and only
# then removes its socket's file by name: a server that took the number in between, as a server
# left to find a free number itself would, would lose its file (the server still listens, but a
# client that knows only the file, like a sandboxed web process, cannot connect).
locks=/tmp/.display-session-locks
mkdir -p "$locks" 2>/dev/null && chmod 1777 "$locks" 2>/dev/null
if ! [ -d "$locks" ] || ! [ -w "$locks" ]; then
  echo "display-session: cannot keep display numbers in $locks" >&2
  exit 125
fi

# The server writes its display number to the pipe once it accepts connections; it closes the
# pipe without a number when it cannot start (another server, not one of ours, has the number).
mkfifo "$scratch/display" || exit 125
number=""
for candidate in $(seq 0 999); do
  touch "$locks/$candidate" 2>/dev/null
  exec {lock}<"$locks/$candidate" || continue
  if ! flock -n "$lock"; then exec {lock}<&-; continue; fi
  "${dies_with_us[@]}" Xvfb ":$candidate" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    -noreset 3>"$scratch/display" >"$scratch/server.log" 2>&1 &
  children=($!)
  read -r number <"$scratch/display"
  [[ "$number" =~ ^[0-9]+$ ]] && break
  number=""
  wait "${children[0]}"
  children=()
  exec {lock}<&-
  # Another server has the number when it listens there or holds its lock file; any other failure
  # would meet every number.
  grep -q "@/tmp/.X11-unix/X$candidate\$" /proc/net/unix 2>/dev/null ||
    [ -e "/tmp/.X$candidate-lock" ] || break
done
if [ -z "$number" ]; then
  echo "display-session: the virtual X server did not start:" >&2
  cat "$scratch/server.log" >&2
  exit 125
fi

# The bus likewise, with the session configuration; it writes its address once it listens. The
# services it starts (the accessibility bus among them) keep their sockets in a runtime folder of
# this session, apart from those of the sessions beside it.
mkfifo "$scratch/bus" && mkdir -m 700 "$scratch/runtime" || exit 125
XDG_RUNTIME_DIR="$scratch/runtime" "${dies_with_us[@]}" dbus-daemon --session --nofork --nopidfile \
  --print-address=3 3>"$scratch/bus" >"$scratch/bus.log" 2>&1 {lock}<&- &
children+=($!)
address=""
read -r address <"$scratch/bus"
if [ -z "$address" ]; then
  echo "display-session: the session bus did not start:" >&2
  cat "$scratch/bus.log" >&2
  exit 125
fi

export DISPLAY=":$number" DBUS_SESSION_BUS_ADDRESS="$address"
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_PID DBUS_SESSION_BUS_WINDOWID
# The command runs in the background so that a signal reaches the traps above at once.
"${dies_with_us[@]}" "$@" {lock}<&- &
command=$!
children=("$command" "${children[@]}")
wait "$command"
status=$?
children=("${children[@]:1}")
exit "$status"
