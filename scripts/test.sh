#!/usr/bin/env bash
# Builds qrlconsole and qrlpack twice, warnings being errors, and runs every
# test: first under AddressSanitizer and UndefinedBehaviorSanitizer (with
# the fuzzers of packages, the qrlpack round trip, diffs, backup files,
# parameter files, programs of the macro language and plans, 10 to 30
# seconds each), then the Release build that users make, which is also installed
# with DESTDIR and packaged as a .deb (the tools run from both) and shown
# by the demo. Fails on a compiler warning
# (but GCC 12's false -Wrestrict reports), a failed test, a sanitizer
# report or a fuzzer finding. Ends with ctest's summary of the Release
# build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DQRL_SANITIZE=ON -DQRL_FUZZ=ON -DQRL_WERROR=ON
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQRL_WERROR=ON
cmake --build build
tests/scripts/install_test.sh build
# The demo, whose commands the README shows; its output only on failure.
scripts/demo.sh >build/demo.log 2>&1 || {
  cat build/demo.log
  exit 1
}
ctest --test-dir build --output-on-failure
