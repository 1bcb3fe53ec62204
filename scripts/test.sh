#!/usr/bin/env bash
# Builds qrlconsole and qrlpack twice and runs every test: first under
# AddressSanitizer and UndefinedBehaviorSanitizer (with the fuzzers of
# packages, the qrlpack round trip, backup files, parameter files and
# programs of the macro language, 10 to 30 seconds each), then the normal
# build. Fails on any failed test, sanitizer report or fuzzer finding. Ends
# with ctest's summary of the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DQRL_SANITIZE=ON -DQRL_FUZZ=ON
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure
