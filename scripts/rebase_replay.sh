#!/usr/bin/env bash
# Replays this project's whole history through qrlpack rebase: every commit
# X, made into a package on its parent, carried to the commit K steps later
# with X reverted (K = 10, 50 and 200, or half the history when it is too
# short), and counted against git apply --3way on the same cases: carried,
# conflicts, and wrong (a tool that exits 0, a change that applies cleanly,
# and a tree that is not the later commit's). The test suite runs a sample
# of the same replay. Needs a git clone; takes some minutes. The build
# directory is BUILD_DIR, or build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target qrl_e2e_tests qrlpack qrlconsole >/dev/null
QRL_REBASE_REPLAY=all "$build/tests/qrl_e2e_tests" \
  --gtest_filter='RebaseHistory.*' | grep -E '^\[ (replay|wrong|failed) '
