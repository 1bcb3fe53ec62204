#!/usr/bin/env bash
# The manual pages: groff and man read them without a single warning, and
# each names the version of the build in its title line.
# Usage: man_pages_test.sh SOURCE_DIR VERSION
set -euo pipefail
source_dir=$1
version=$2
status=0
for page in "$source_dir"/man/*.1; do
  name=$(basename "$page" .1)
  warnings=$(groff -man -ww -z "$page" 2>&1)
  warnings+=$(man --warnings -l "$page" 2>&1 >/dev/null)
  if [[ -n $warnings ]]; then
    echo "$page:" >&2
    echo "$warnings" >&2
    status=1
  fi
  if ! grep -q "^\.TH .* \"$name $version\"" "$page"; then
    echo "$page: the title line does not name version $version" >&2
    status=1
  fi
done
exit $status
