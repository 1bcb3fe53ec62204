#!/usr/bin/env bash
# Builds qrlconsole and qrlpack, builds the bundled example package from its
# JSON description and shows what qrlconsole does with it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target qrlconsole qrlpack >/dev/null

echo "\$ qrlpack build examples/demo.json -o build/demo.qrl"
build/qrlpack build examples/demo.json -o build/demo.qrl
echo "\$ qrlconsole build/demo.qrl showuserinfo"
build/qrlconsole build/demo.qrl showuserinfo
echo "\$ qrlconsole build/demo.qrl apply MACRO{MACRO_RAD_DIRECTORY}=/home/user/src SYMBOL+VANILLAIDE"
build/qrlconsole build/demo.qrl apply 'MACRO{MACRO_RAD_DIRECTORY}=/home/user/src' SYMBOL+VANILLAIDE
