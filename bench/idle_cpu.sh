#!/usr/bin/env bash
# idle_cpu_recording and idle_cpu_open: the real zetra on a virtual X server with the stand-in
# unit (libkvwin32.so beside it, USB1), driven by the keyboard as a user would. First recording at
# 5 samples/s, then stopped and disconnected with the recording still shown. For each, the CPU
# time and the context switches of all its threads over SECONDS, read from /proc.
# Usage: bench/idle_cpu.sh <build dir> [SECONDS, default 60]
set -euo pipefail
build=$(cd "${1:?usage: idle_cpu.sh <build dir> [seconds]}" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
if [ -z "${DISPLAY:-}" ] || [ "${ZETRA_IDLE_INNER:-0}" != 1 ]; then
  exec env ZETRA_IDLE_INNER=1 xvfb-run -a -s "-screen 0 1600x1000x24" \
    bash "$here/idle_cpu.sh" "$build" "$seconds"
fi

app=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$app"
}
trap cleanup EXIT

cp "$build/bin/zetra" "$build/bin/libkvwin32.so" "$build/bin/zetrat.html" "$app/"
"$build/bin/zetra_bench" --child-settings "$app"  # 5 samples/s on USB1
unset QT_QPA_PLATFORM
"$app/zetra" >"$app/zetra.log" 2>&1 &
pid=$!
window=$(timeout 15 xdotool search --sync --onlyvisible --name '^ZetraII \[' | head -1)
xdotool windowfocus --sync "$window"
sleep 1
key() { xdotool windowfocus --sync "$window"; xdotool key --window "$window" --clearmodifiers "$@"; sleep 0.3; }

# CPU clock ticks (user + system) of the process; context switches per thread, "tid count".
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
switches() {
  for task in /proc/"$pid"/task/*; do
    awk -v t="${task##*/}" '/^(non)?voluntary_ctxt_switches/ {n += $2} END {print t, n}' \
      "$task/status" 2>/dev/null || true
  done | sort
}
# Switches between two snapshots: threads in both by their difference, new threads whole (a
# thread that ended in between is not counted).
switch_delta() {
  join -a 2 -e 0 -o 1.2,2.2 "$1" "$2" | awk '{d += $2 - $1} END {print d + 0}'
}
threads() { ls "/proc/$pid/task" | wc -l; }
measure() {
  local name=$1 cpu_target=$2 cs_target=$3
  sleep 3  # let the last command settle
  local t0 t1
  t0=$(ticks); switches >"$app/switches0"
  sleep "$seconds"
  t1=$(ticks); switches >"$app/switches1"
  awk -v n="$name" -v dt=$((t1 - t0)) -v dc="$(switch_delta "$app/switches0" "$app/switches1")" \
      -v s="$seconds" \
      -v hz="$(getconf CLK_TCK)" -v ct="$cpu_target" -v cst="$cs_target" -v th="$(threads)" 'BEGIN {
    cpu = 100 * dt / hz / s; cs = dc / s;
    printf "%s: ours %.3f %% of a core (target <= %.1f %%) %s\n", n, cpu, ct, cpu <= ct ? "PASS" : "FAIL";
    printf "%s_switches: ours %.1f /s over %d threads (target <= %d /s) %s\n", n, cs, th, cst,
           cs <= cst ? "PASS" : "FAIL";
  }'
}

for _ in 1 2 3 4 5 6 7; do key Tab; done  # from Open to On
key space                                  # On: the stand-in unit at 5 samples/s
sleep 1
key Tab space                              # Rec
measure idle_cpu_recording 0.5 50
key space                                  # Stop
key shift+Tab space                        # Off: not connected, the recording still shown
measure idle_cpu_open 0.1 50
grep -v "XDG_RUNTIME_DIR" "$app/zetra.log" || true
