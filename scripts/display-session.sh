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

# The server writes its display number to the pipe once it accepts connections; it closes the
# pipe without a number when it cannot start.
mkfifo "$scratch/display" || exit 125
"${dies_with_us[@]}" Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
  3>"$scratch/display" >"$scratch/server.log" 2>&1 &
children+=($!)
number=""
read -r number <"$scratch/display"
if ! [[ "$number" =~ ^[0-9]+$ ]]; then
  echo "display-session: the virtual X server did not start:" >&2
  cat "$scratch/server.log" >&2
  exit 125
fi

# The bus likewise, with the session configuration; it writes its address once it listens. The
# services it starts (the accessibility bus among them) keep their sockets in a runtime folder of
# this session, apart from those of the sessions beside it.
mkfifo "$scratch/bus" && mkdir -m 700 "$scratch/runtime" || exit 125
XDG_RUNTIME_DIR="$scratch/runtime" "${dies_with_us[@]}" dbus-daemon --session --nofork --nopidfile \
  --print-address=3 3>"$scratch/bus" >"$scratch/bus.log" 2>&1 &
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
"${dies_with_us[@]}" "$@" &
command=$!
children=("$command" "${children[@]}")
wait "$command"
status=$?
children=("${children[@]:1}")
exit "$status"
