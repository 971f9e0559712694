#!/usr/bin/env bash
# Builds the libFuzzer targets with clang 14 in their own build tree and runs each for a bounded
# time on its seed corpus (fuzz/corpus/<target>). Fails on any crash, hang, leak or sanitizer report.
# FUZZ_SECONDS (default 60) per target; FUZZ_BUILD_DIR (default build-fuzz); FUZZ_JOBS (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-2}
targets=(fuzz_recording_file fuzz_journal fuzz_open_recording fuzz_settings_file fuzz_number
         fuzz_clipboard_text fuzz_driver_control)

CC=clang-14 CXX=clang++-14 cmake -S fuzz -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j "$jobs" --target "${targets[@]}"

failures=0
for target in "${targets[@]}"; do
  corpus=$root/fuzz/corpus/${target#fuzz_}
  work=$out/corpus/${target#fuzz_}   # new inputs stay in the build tree, the seeds untouched
  mkdir -p "$work"
  echo "== $target: ${seconds}s =="
  if ! (cd "$out" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$out/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "$work" "$corpus" 2>"$out/$target.log"); then
    echo "fuzz: FAIL: $target (see $out/$target.log and the crash-* file in $out)" >&2
    tail -n 40 "$out/$target.log" >&2
    failures=$((failures + 1))
  else
    grep -E "^stat::number_of_executed_units|^Done" "$out/$target.log" | tr '\n' ' '
    echo
  fi
done
if [ "$failures" -ne 0 ]; then
  echo "fuzz: $failures target(s) failed" >&2
  exit 1
fi
echo "fuzz: passed"
