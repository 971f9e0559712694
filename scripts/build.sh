#!/usr/bin/env bash
# Configures and builds zetra, its stand-ins and tests into BUILD_DIR (default: build/).
# Extra arguments go to the CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build_dir" -G Ninja "$@"
cmake --build "$build_dir" -j "$(nproc)"
