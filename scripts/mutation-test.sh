#!/usr/bin/env bash
# Mutation testing on a copy of the sources with a build tree of its own, so neither the working
# sources nor build/ are ever touched: build-mutation/source and build-mutation/source/build (or
# under MUTATION_BUILD_DIR). Arguments go to tools/mutation/mutate.py, for example:
#   scripts/mutation-test.sh --sample 40 --seed 7 recorder/chart
# MUTATION_IN_PLACE=1 mutates the working sources themselves, built in MUTATION_BUILD_DIR (CI uses
# it on build/, which it no longer needs, to save a second build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${MUTATION_BUILD_DIR:-$root/build-mutation}
python=$(command -v /usr/bin/python3 || command -v python3)

configure() {
  local source=$1 tree=$2
  if [ ! -f "$tree/build.ninja" ]; then
    local launcher=()
    if command -v ccache >/dev/null; then
      launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S "$source" -B "$tree" -G Ninja -DZETRA_WERROR=ON "${launcher[@]}" >/dev/null
  fi
}

if [ "${MUTATION_IN_PLACE:-0}" = 1 ]; then
  configure "$root" "$build_dir"
  exec "$python" "$root/tools/mutation/mutate.py" --build-dir "$build_dir" "$@"
fi

# Only files whose contents differ are copied, with a fresh time, so the build tree rebuilds what
# changed and whatever a stopped run last built from a mutant.
source_copy=$build_dir/source
mkdir -p "$source_copy"
"$python" - "$root" "$source_copy" <<'EOF'
import os, shutil, subprocess, sys
root, copy = sys.argv[1:3]
listed = subprocess.run(["git", "-C", root, "ls-files", "-z", "--cached", "--others",
                         "--exclude-standard"], check=True, stdout=subprocess.PIPE).stdout
for name in filter(None, listed.decode().split("\0")):
    source, target = os.path.join(root, name), os.path.join(copy, name)
    if not os.path.isfile(source):
        continue
    with open(source, "rb") as a:
        wanted = a.read()
    if os.path.isfile(target):
        with open(target, "rb") as b:
            if b.read() == wanted:
                continue
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copy(source, target)
EOF
# The tree sits in the copy as build/ sits in the sources, so the compiler cache shares their work.
configure "$source_copy" "$source_copy/build"
exec "$python" "$source_copy/tools/mutation/mutate.py" --build-dir "$source_copy/build" "$@"
