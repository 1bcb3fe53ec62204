#!/usr/bin/env bash
# Builds qrlconsole and qrlpack twice, warnings being errors, and runs every
# test, each build's tests in parallel (one ctest job per core):
#  1. the Release build that users make (GCC): first only the two tools,
#     as scripts/demo.sh builds them; the demo runs, and that build is
#     installed with DESTDIR and packaged as a .deb (the tools run from
#     both); then the rest of it (tests, benchmarks) and every test;
#  2. the build under AddressSanitizer and UndefinedBehaviorSanitizer
#     (clang): every test again, and the fuzzers, which only this build
#     has (packages, the qrlpack round trip, diffs, backup files,
#     parameter files, programs of the macro language and plans, 10 to 30
#     seconds each).
# Each source is compiled once per build; ccache serves the compiler when
# it is installed (scripts/setup.sh installs it), so a second run compiles
# little. Before building, every C++ file must be as clang-format writes it
# (the repository's .clang-format). Fails on a file not so formatted, a
# compiler warning (but GCC 12's false -Wrestrict
# reports), a failed test, a sanitizer report or a fuzzer finding. Ends
# with ctest's summary of the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

# 0. The format of every C++ file.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

jobs=$(nproc)
if [[ -z ${CMAKE_CXX_COMPILER_LAUNCHER+set} ]] && command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
configure() {
  cmake -S . -G Ninja -DQRL_WERROR=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-}" "$@"
}

# 1. Release: the demo's build, the demo, the installation; then the rest.
configure -B build -DCMAKE_BUILD_TYPE=Release
# The demo, whose commands the README shows; its output only on failure.
scripts/demo.sh >build/demo.log 2>&1 || {
  cat build/demo.log
  exit 1
}
tests/scripts/install_test.sh build
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"

# 2. The sanitizers, with the fuzzers.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
configure -B build-asan -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DQRL_SANITIZE=ON -DQRL_FUZZ=ON
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j "$jobs"
