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

# A display of our own: the first free number from 90.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -nolisten tcp -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
export DISPLAY=":$display"

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT

# A server started by a test would inherit the test's pipes and linger; start it
# detached first.
setsid wineserver -p </dev/null >/dev/null 2>&1 &
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i </dev/null >/dev/null 2>&1
fi
# Without a window manager, closing a window waits 2 s unless windows are unmanaged.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1

"$@" </dev/null
