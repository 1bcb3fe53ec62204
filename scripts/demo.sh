#!/usr/bin/env bash
# Builds qrlconsole and shows what it does: the example package is checked,
# the files it touches are backed up, it is applied to a copy of the example
# tree and the change is shown; reversing it brings the tree back as it
# was, and so does restoring the backup after applying it again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# Quiet while the build works; its whole output when it fails.
build_log=$(mktemp)
trap 'rm -f "$build_log"' EXIT
if ! { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release &&
  cmake --build build --target qrlconsole qrlpack; } >"$build_log" 2>&1; then
  cat "$build_log" >&2
  echo "demo.sh: the build failed; its output is above." >&2
  exit 1
fi

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp -r examples/tree "$demo/tree"
root="$PWD/$demo/tree/"

run() {
  echo
  echo "\$ $*"
  "$@"
}

# Says whether the tree is byte for byte the example tree again.
check_tree() {
  echo
  if diff -r examples/tree "$demo/tree" >/dev/null; then
    echo "# After $1 the tree is byte for byte as it was."
  else
    echo "# After $1 the tree differs from the example tree!"
    exit 1
  fi
}

run build/qrlpack build examples/demo.json -o "$demo/demo.qrl"
run build/qrlconsole "$demo/demo.qrl" showuserinfo
echo
echo "# Checks first. LOUD comes from the command line, not from a level,"
echo "# so the checks mention it."
run build/qrlconsole "$demo/demo.qrl" executechecks "MACRO{ROOT}=$root" \
  "MACRO{NAME}=world" SYMBOL+LOUD
echo
echo "# Then a backup of everything the package will touch, and apply only"
echo "# when the backup succeeded (one empty line):"
run build/qrlconsole "$demo/demo.qrl" createbackup "MACRO{ROOT}=$root" \
  "MACRO{NAME}=world" SYMBOL+LOUD
run build/qrlconsole "$demo/demo.qrl" apply "MACRO{ROOT}=$root" \
  "MACRO{NAME}=world" SYMBOL+LOUD
echo
echo "# What the package changed:"
diff -ruN examples/tree "$demo/tree" || true
run build/qrlconsole "$demo/demo.qrl" reverse "MACRO{ROOT}=$root" \
  "MACRO{NAME}=world" SYMBOL+LOUD
check_tree reverse

echo
echo "# Apply again, and put everything back from the backup instead:"
run build/qrlconsole "$demo/demo.qrl" apply "MACRO{ROOT}=$root" \
  "MACRO{NAME}=world" SYMBOL+LOUD
run build/qrlconsole "$demo/demo.qrl.backup" restorebackup
check_tree restorebackup
