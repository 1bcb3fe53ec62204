#!/usr/bin/env bash
# scripts/demo.sh with a build that fails: the build's output must reach the
# user, and the demo must stop with exit code 1. The demo runs from a copy
# of the scripts folder, with a setup that installs nothing and a cmake
# that fails at once.
set -euo pipefail
source_dir=$1

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/scripts" "$scratch/bin"
cp "$source_dir/scripts/demo.sh" "$scratch/scripts/demo.sh"
printf '#!/bin/sh\nexit 0\n' >"$scratch/scripts/setup.sh"
printf '#!/bin/sh\necho "compiler says: broken line 7"\nexit 1\n' \
  >"$scratch/bin/cmake"
chmod +x "$scratch/scripts/setup.sh" "$scratch/bin/cmake"

status=0
PATH="$scratch/bin:$PATH" "$scratch/scripts/demo.sh" \
  >"$scratch/out" 2>"$scratch/err" || status=$?
if [[ $status -ne 1 ]]; then
  echo "demo.sh exited with $status, expected 1" >&2
  exit 1
fi
if ! grep -q 'compiler says: broken line 7' "$scratch/err"; then
  echo "demo.sh did not show the build's output; its stderr:" >&2
  cat "$scratch/err" >&2
  exit 1
fi
if [[ -s "$scratch/out" ]]; then
  echo "demo.sh wrote to stdout after a failed build:" >&2
  cat "$scratch/out" >&2
  exit 1
fi
echo "demo.sh shows the failed build's output"
