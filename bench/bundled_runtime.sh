#!/usr/bin/env bash
# The example's own Java runtime, whole against trimmed: the runtime's size on
# disk, the program's zip, and the example's start to its end behind the JVM
# bridge under Wine (median of RUNS runs each, the two taking turns), as the
# trimmed one's ratio to the whole one.
#   bench/bundled_runtime.sh [BUILD_DIR] [RUNS]
# The whole runtime is the JDK that the build's java belongs to, copied by the
# packager's runtime command with --full; the trimmed one is the build's
# (tests/packager/bundled_runtime.cmake): the modules of the example's jars,
# linked from the same JDK's jmods.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
runs=${2:-7}
cmake --build "$build" -j2 --target bundled_runtime jvm_bridge ravelin_packager >/dev/null
out=$build/bin/bundled_runtime
jdk=$(dirname "$(dirname "$(realpath "$(command -v java)")")")
bench=$build/bench/bundled_runtime
packager=$(ls "$build"/java/ravelin-packager-[0-9]*.jar)
rm -rf "$bench"
mkdir -p "$bench"

# A Windows JDK as the packager takes one: the whole JDK, its links followed, with the bridge as its programs.
# (Debian's lib/src.zip is a link to a package that is seldom installed: links to nothing are left out.)
cp -rL "$jdk" "$bench/jdk" 2>/dev/null || test -x "$bench/jdk/bin/java"
cp "$build/bin/jvm_bridge.exe" "$bench/jdk/bin/java.exe"
cp "$build/bin/jvm_bridge.exe" "$bench/jdk/bin/javaw.exe"
mkdir -p "$bench/whole"
cp -r "$out/trimmed/Hello" "$bench/whole/Hello"
rm -rf "$bench/whole/Hello/runtime"
java -jar "$packager" runtime --program "$bench/whole/Hello" --from "$bench/jdk" --full \
  --zip "$bench/whole/Hello.zip"
# The trimmed one's zip as the users get it, the bridge in it as in the whole one's.
java -jar "$packager" runtime --program "$out/trimmed/Hello" --from "$bench/jdk" \
  --jlink "$jdk/bin/jlink" --zip "$bench/trimmed.zip" >/dev/null
cp "$build/bin/jvm_bridge.exe" "$out/trimmed/Hello/runtime/bin/java.exe"
cp "$build/bin/jvm_bridge.exe" "$out/trimmed/Hello/runtime/bin/javaw.exe"

bytes() { find "$1" -type f -printf '%s\n' | awk '{s += $1} END {print s}'; }
files() { find "$1" -type f | wc -l; }
mib() { awk -v b="$1" 'BEGIN {printf "%.1f MiB", b / 1048576}'; }
whole_disk=$(bytes "$bench/whole/Hello/runtime")
trimmed_disk=$(bytes "$out/trimmed/Hello/runtime")
whole_zip=$(stat -c %s "$bench/whole/Hello.zip")
trimmed_zip=$(stat -c %s "$bench/trimmed.zip")
echo "runtime on disk: whole $(mib "$whole_disk") ($(files "$bench/whole/Hello/runtime") files)," \
  "trimmed $(mib "$trimmed_disk") ($(files "$out/trimmed/Hello/runtime") files):" \
  "$(awk -v t="$trimmed_disk" -v w="$whole_disk" 'BEGIN {printf "%.2f", t / w}') of the whole"
echo "program zip: whole $(mib "$whole_zip"), trimmed $(mib "$trimmed_zip"):" \
  "$(awk -v t="$trimmed_zip" -v w="$whole_zip" 'BEGIN {printf "%.2f", t / w}') of the whole"

# Start to end of Hello.exe (the example ends at once with exit code 3), in
# milliseconds, each run under one Wine session, the two runtimes taking turns.
cat >"$bench/runs.sh" <<'RUNS'
run_ms() {
  local start end
  start=$(date +%s%N)
  (cd "$1" && wine Hello.exe >/dev/null 2>&1) || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
run_ms "$2" >/dev/null  # Wine's first start of a program, not timed
for ((i = 0; i < $3; i++)); do
  if ((i % 2 == 0)); then
    echo "whole $(run_ms "$1")"; echo "trimmed $(run_ms "$2")"
  else
    echo "trimmed $(run_ms "$2")"; echo "whole $(run_ms "$1")"
  fi
done
RUNS
tools/with-wine.sh "$build" bash "$bench/runs.sh" "$bench/whole/Hello" "$out/trimmed/Hello" "$runs" >"$bench/times.txt"
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
whole_ms=$(awk '$1 == "whole" {print $2}' "$bench/times.txt" | median)
trimmed_ms=$(awk '$1 == "trimmed" {print $2}' "$bench/times.txt" | median)
echo "start to end behind the bridge, median of $runs: whole $whole_ms ms, trimmed $trimmed_ms ms:" \
  "$(awk -v t="$trimmed_ms" -v w="$whole_ms" 'BEGIN {printf "%.2f", t / w}') of the whole"
