#!/usr/bin/env bash
# Builds qrlconsole and shows what it does on the bundled example package.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target qrlconsole >/dev/null

echo "\$ qrlconsole examples/demo.qrl showuserinfo"
build/qrlconsole examples/demo.qrl showuserinfo
