#!/usr/bin/env bash
# Runs a command with the Wine prefix of a build tree (created on first use), a
# virtual X display of its own and a wineserver started ahead, all stopped after.
#   tools/with-wine.sh BUILD_DIR COMMAND [ARGS...]
set -euo pipefail

build=$(realpath "$1"); shift
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winedbg.exe,mscoree,mshtml=d"  # a crashing program would start winedbg and hang
export LC_ALL=C  # English messages unless a test asks for another language

# A display of our own: Xvfb takes the first display number that is free (also
# from other file-system roots on this machine) and reports it once it listens.
xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" >/dev/null 2>&1 || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

display_file=$(mktemp)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.05
done
display=$(tr -dc '0-9' <"$display_file")
rm -f "$display_file"
if [ -z "$display" ]; then
  echo "with-wine.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$display"

# A server started by a test would inherit the test's pipes and linger; start it
# detached first.
setsid wineserver -p </dev/null >/dev/null 2>&1 &
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i </dev/null >/dev/null 2>&1
  # The first boot leaves a service control manager of its own running beside the
  # one the next program starts; with two, starting a service fails with error
  # 1055 or 1053. A server started afresh has one.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  setsid wineserver -p </dev/null >/dev/null 2>&1 &
fi
# Without a window manager, closing a window waits 2 s unless windows are unmanaged.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
# Wine's desktop process ends when no program uses windows for a while, and the
# next program with windows starts it again with its own standard handles: a
# test's CTest pipes would then stay open until that desktop ends, and CTest
# waits for them. A keeper started here, without pipes, holds the desktop open
# until the server stops (built with the tests; absent before the first build).
keeper="$build/bin/desktop_keeper.exe"
if [ -f "$keeper" ]; then
  ready="$build/desktop-keeper.ready"
  rm -f "$ready"
  setsid wine "$keeper" "$(winepath -w "$ready" 2>/dev/null)" </dev/null >/dev/null 2>&1 &
  for _ in $(seq 400); do
    [ -f "$ready" ] && break
    sleep 0.05
  done
  if [ ! -f "$ready" ]; then
    echo "with-wine.sh: the desktop keeper did not start" >&2
    exit 1
  fi
fi

"$@" </dev/null
