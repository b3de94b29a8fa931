#!/usr/bin/env bash
# Installs what is needed, builds the launcher and runs it under Wine on the
# example application in example/.   tools/example.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

tools/install-deps.sh
cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target ravelin watch

# The launcher is shipped under the application's name, beside its settings.
app="$build/example-app"
rm -rf "$app"
mkdir -p "$app/lib"
cp "$build/bin/ravelin.exe" "$app/Hello.exe"
cp example/Hello.qel "$app/"
echo "running $app/Hello.exe"
tools/with-wine.sh "$build" sh -c 'wine "$1" "$(winepath -w "$2")"' watch "$build/bin/watch.exe" "$app/Hello.exe"
