#!/usr/bin/env bash
# Installs what is needed, builds the launcher and runs the example application
# in example/ under Wine, end to end, twice:
#  1. with a real Java VM: the application's private runtime is the JVM bridge, a
#     test fixture that runs this machine's own JVM (see docs/building.md); the script
#     shows what the application itself printed, the line it wrote through its
#     redirect file and the exit code;
#  2. with a stand-in VM, a small program that records what it received: the
#     script shows the VM's exact command line and the first lines of the
#     hand-off file.
#   tools/example.sh [BUILD_DIR]
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

# Under Wine (tools/with-wine.sh): runs the application through the watch tool,
# which prints its message boxes, its standard output and error, and its exit
# code. Only the variables Wine needs reach the launcher: the hand-off file lists
# the environment the Java side sees.
watch_example() {
  local build=$1 app=$2
  shift 2
  local variables=(DISPLAY="$DISPLAY" WINEPREFIX="$WINEPREFIX" WINEDEBUG="$WINEDEBUG"
                   WINEDLLOVERRIDES="$WINEDLLOVERRIDES" LC_ALL="$LC_ALL" PATH="$PATH")
  [ -z "${HOME:-}" ] || variables+=(HOME="$HOME")
  [ -z "${USER:-}" ] || variables+=(USER="$USER")
  env -i "${variables[@]}" wine "$build/bin/watch.exe" "$(winepath -w "$app/Hello.exe")" "$@" | sed 's/^/  /'
}

# Under Wine: the example with this machine's JVM behind the bridge.
run_real() {
  local build=$1 app=$2
  echo "1. The example application on a real Java VM"
  echo
  echo "running $app/Hello.exe 'C:\\My Files\\report.txt' --verbose through the watch tool:"
  watch_example "$build" "$app" '"C:\My Files\report.txt"' --verbose
  echo
  echo "$app/logs/hello.log, written through the redirect qel.stderr.redirect:"
  sed 's/^/  /' "$app/logs/hello.log"
  echo
}

# Under Wine: the example with a stand-in VM; prints what the stand-in recorded.
run_standin() {
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

  echo "2. The same example with a stand-in VM that records what it received"
  echo
  echo "running $app/Hello.exe 'C:\\My Files\\report.txt' --verbose through the watch tool:"
  watch_example "$build" "$app" '"C:\My Files\report.txt"' --verbose

  if [ ! -s "$record" ]; then
    echo "the VM did not start" >&2
    exit 1
  fi
  echo
  echo "What the VM received. The example's jre\\bin\\javaw.exe is a stand-in for"
  echo "a Windows Java VM that records its start instead of running Java:"
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

  # The hand-off file is the last argument before the application's own two.
  local handoff
  handoff=$(awk -F= "$record_values"' $1 ~ /^arg\./ { args[n++] = value() } END { print args[n - 3] }' "$record")
  echo
  echo "The hand-off file $handoff (deleted by the launcher after the VM; the"
  echo "stand-in's copy), its first lines:"
  head -n 4 "$handoff_copy" | tr -d '\r' | sed 's/^/  /'
}

if [ "${1:-}" = --under-wine ]; then
  shift
  run_real "$1" "$2"
  run_standin "$1" "$3" "$4"
  exit
fi

build=${1:-build}
tools/install-deps.sh
cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
# The stand-in VM, as a Java 2 version: 1.4.2_05 in its version resource.
standin=standin_sun_1_4_20_5
cmake --build "$build" -j"$(nproc)" --target ravelin watch jvm_bridge ravelin_java "$standin"

# The example application's jar, compiled against the Java side library.
library="$build/java/ravelin-java.jar"
classes="$build/example-classes"
rm -rf "$classes"
mkdir -p "$classes"
javac --release 8 -Xlint:-options -encoding UTF-8 -cp "$library" -d "$classes" example/src/hello/Main.java
jar cf "$build/hello.jar" -C "$classes" .

# The launcher is shipped under the application's name, beside its settings,
# with the Java side library and the application's jar in lib\ and the
# application's private runtime below it (Hello.qel names jre\bin\javaw.exe).
install_example() {
  local app=$1 vm=$2
  rm -rf "$app"
  mkdir -p "$app/lib" "$app/logs" "$app/jre/bin"
  cp "$build/bin/ravelin.exe" "$app/Hello.exe"
  cp example/Hello.qel "$app/"
  cp "$library" "$build/hello.jar" "$app/lib/"
  for program in java javaw; do
    cp "$vm" "$app/jre/bin/$program.exe"
  done
}
install_example "$build/example-app" "$build/bin/jvm_bridge.exe"
install_example "$build/example-app-standin" "$build/bin/$standin.exe"
record="$build/example-record.txt"
rm -f "$record"
tools/with-wine.sh "$build" tools/example.sh --under-wine "$build" "$build/example-app" \
  "$build/example-app-standin" "$record"
