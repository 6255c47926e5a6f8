#!/usr/bin/env bash
# Builds both architectures and runs every test of the x64 build under Wine (and Xvfb).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
tools/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64
cmake --preset x86 >/dev/null
cmake --build --preset x86
source tools/wine-env.sh
ql_env_start
trap ql_env_stop EXIT
ctest --preset x64 -j2 "$@"
