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

# Start to end of Hello.exe (the example ends at once with exit code 3), in milliseconds.
run_ms() {
  local start end
  start=$(date +%s%N)
  (cd "$1" && "$OLDPWD/tools/with-wine.sh" "$build" wine Hello.exe >/dev/null 2>&1) || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
whole_times=()
trimmed_times=()
run_ms "$out/trimmed/Hello" >/dev/null  # the prefix started once before any is timed
for ((i = 0; i < runs; i++)); do
  if ((i % 2 == 0)); then
    whole_times+=("$(run_ms "$bench/whole/Hello")")
    trimmed_times+=("$(run_ms "$out/trimmed/Hello")")
  else
    trimmed_times+=("$(run_ms "$out/trimmed/Hello")")
    whole_times+=("$(run_ms "$bench/whole/Hello")")
  fi
done
whole_ms=$(printf '%s\n' "${whole_times[@]}" | median)
trimmed_ms=$(printf '%s\n' "${trimmed_times[@]}" | median)
echo "start to end behind the bridge, median of $runs: whole $whole_ms ms, trimmed $trimmed_ms ms:" \
  "$(awk -v t="$trimmed_ms" -v w="$whole_ms" 'BEGIN {printf "%.2f", t / w}') of the whole"
