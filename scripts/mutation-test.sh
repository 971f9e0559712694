#!/usr/bin/env bash
# Mutation testing in a build tree of its own (build-mutation/, or MUTATION_BUILD_DIR), so build/
# is never disturbed. Arguments go to tools/mutation/mutate.py, for example:
#   scripts/mutation-test.sh --sample 40 --seed 7 recorder/chart
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${MUTATION_BUILD_DIR:-$root/build-mutation}
if [ ! -f "$build_dir/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$root" -B "$build_dir" -G Ninja -DZETRA_WERROR=ON "${launcher[@]}" >/dev/null
fi
exec python3 "$root/tools/mutation/mutate.py" --build-dir "$build_dir" "$@"
