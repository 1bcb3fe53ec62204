#!/usr/bin/env bash
# Builds qrlconsole and shows what it does: the example package is applied
# to a copy of the example tree, the change is shown, and reversing it
# brings the tree back as it was.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target qrlconsole qrlpack >/dev/null

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

run build/qrlpack build examples/demo.json -o "$demo/demo.qrl"
run build/qrlconsole "$demo/demo.qrl" showuserinfo
run build/qrlconsole "$demo/demo.qrl" apply "MACRO{ROOT}=$root" \
  "MACRO{NAME}=world" SYMBOL+LOUD
echo
echo "# What the package changed:"
diff -ru examples/tree "$demo/tree" || true
run build/qrlconsole "$demo/demo.qrl" reverse "MACRO{ROOT}=$root" \
  "MACRO{NAME}=world" SYMBOL+LOUD
echo
if diff -r examples/tree "$demo/tree" >/dev/null; then
  echo "# After reverse the tree is byte for byte as it was."
else
  echo "# After reverse the tree differs from the example tree!"
  exit 1
fi
