#!/usr/bin/env bash
# Installs what is needed, builds the launcher and runs the example application
# in example/ under Wine, end to end: the launcher finds the application's private
# Java runtime, writes the hand-off file and starts the VM. These build machines
# have no Windows Java VM, so the runtime's java.exe and javaw.exe are a stand-in
# program that records what it received; the script prints that record and the
# first lines of the hand-off file.   tools/example.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

# The value of a stand-in record line (name=value), a doubled backslash undone.
# shellcheck disable=SC2016  # an awk program
record_values='
  function value(   text, out, i, c) {
    text = substr($0, length($1) + 2)
    out = ""
    for (i = 1; i <= length(text); i++) {
      c = substr(text, i, 1)
      if (c == "\\" && substr(text, i + 1, 1) == "\\") i++
      out = out c
    }
    return out
  }'

# Under Wine (tools/with-wine.sh): runs the example through the watch tool and
# prints what the stand-in VM recorded.
run_example() {
  local build=$1 app=$2 record=$3
  # The stand-in takes the record file's name from the settings file beside it,
  # and the file to copy the hand-off file to: the launcher deletes its own once
  # the VM has ended.
  local handoff_copy="$record.handoff"
  rm -f "$handoff_copy"
  for program in java javaw; do
    printf 'QEL_STANDIN_RECORD=%s\r\nQEL_STANDIN_HANDOFF_COPY=%s\r\n' "$(winepath -w "$record")" \
      "$(winepath -w "$handoff_copy")" >"$app/jre/bin/$program.standin"
  done

  echo "running $app/Hello.exe through the watch tool (it reports message boxes and the exit code):"
  # Only the variables Wine needs reach the launcher: the hand-off file, printed
  # below, lists the environment the Java side sees.
  local variables=(DISPLAY="$DISPLAY" WINEPREFIX="$WINEPREFIX" WINEDEBUG="$WINEDEBUG"
                   WINEDLLOVERRIDES="$WINEDLLOVERRIDES" LC_ALL="$LC_ALL" PATH="$PATH")
  [ -z "${HOME:-}" ] || variables+=(HOME="$HOME")
  [ -z "${USER:-}" ] || variables+=(USER="$USER")
  env -i "${variables[@]}" wine "$build/bin/watch.exe" "$(winepath -w "$app/Hello.exe")" | sed 's/^/  /'

  if [ ! -s "$record" ]; then
    echo "the VM did not start" >&2
    exit 1
  fi
  echo
  echo "What the VM received. This machine has no Windows Java VM: the example's"
  printf '%s\n' 'jre\bin\javaw.exe is a stand-in for a Windows Java VM, a small program that'
  echo "records its start instead of running the Java application."
  # The last record of the file.
  awk -F= "$record_values"'
    function show(label, text) { printf "  %-19s %s\n", label, text }
    $1 == "record.begin" { argc = 0 }
    $1 == "modulePath" { program = value() }
    $1 == "commandLine" { commandLine = value() }
    $1 == "workingDirectory" { directory = value() }
    $1 ~ /^arg\./ { args[argc++] = value() }
    END {
      show("program:", program)
      show("command line:", commandLine)
      for (i = 0; i < argc; i++) show("argument " i ":", args[i])
      show("working directory:", directory)
    }' "$record"

  # The hand-off file is the last argument before the application's own (Hello
  # gets none here).
  local handoff
  handoff=$(awk -F= "$record_values"' $1 ~ /^arg\./ { last = value() } END { print last }' "$record")
  echo
  echo "The hand-off file $handoff (deleted by the launcher after the VM; the"
  echo "stand-in's copy), its first lines:"
  head -n 4 "$handoff_copy" | tr -d '\r' | sed 's/^/  /'
}

if [ "${1:-}" = --under-wine ]; then
  shift
  run_example "$@"
  exit
fi

build=${1:-build}
tools/install-deps.sh
cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
# The stand-in VM, as a Java 2 version: 1.4.2_05 in its version resource.
standin=standin_sun_1_4_20_5
cmake --build "$build" -j"$(nproc)" --target ravelin watch "$standin"

# The launcher is shipped under the application's name, beside its settings, and
# the application's private runtime below it (Hello.qel names jre\bin\javaw.exe).
app="$build/example-app"
rm -rf "$app"
mkdir -p "$app/lib" "$app/jre/bin"
cp "$build/bin/ravelin.exe" "$app/Hello.exe"
cp example/Hello.qel "$app/"
for program in java javaw; do
  cp "$build/bin/$standin.exe" "$app/jre/bin/$program.exe"
done
record="$build/example-record.txt"
rm -f "$record"
tools/with-wine.sh "$build" tools/example.sh --under-wine "$build" "$app" "$record"
