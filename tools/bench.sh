#!/usr/bin/env bash
# Builds the benchmarks and runs each of them under Wine, one after the other.
#   tools/bench.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

# One name per benchmark program (bench/CMakeLists.txt builds them).
benchmarks=(
  bench_properties
  bench_inventory
  bench_launch
)

cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$build" -j2 --target "${benchmarks[@]}"
for name in "${benchmarks[@]}"; do
  echo "== $name"
  tools/with-wine.sh "$build" wine "$build/bin/$name.exe"
done

# The Java side's start, on this machine's own JVM: no Wine.
if [ -f "$build/java/ravelin-java.jar" ]; then
  cmake --build "$build" -j2 --target bench_java_start bench_java_start_app ravelin_java
  echo "== bench_java_start"
  # Every Java runtime of the machine, each once (a runtime's aliases resolve to one home).
  javas=()
  for java in /usr/lib/jvm/*/bin/java; do
    real=$(readlink -f "$java")
    case " ${javas[*]} " in *" $real "*) ;; *) javas+=("$real") ;; esac
  done
  java -cp "$build/bench/java-start-bench.jar" bench.JavaStartBench "$build/java/ravelin-java.jar" \
    "$build/bench/java-start-app.jar" 41 "${javas[@]}"
fi
