#!/usr/bin/env bash
# Builds qrlconsole and shows what it does: the example package is checked
# and planned, the files it touches are backed up, it is applied to a copy of the example
# tree and the change is shown; reversing it brings the tree back as it
# was, and so does restoring the backup after applying it again. Then a
# change to a copy of the tree becomes a package with qrlpack from-diff and
# is carried to two later releases: one it applies to, and one where plan
# names the level that fails, which fails when applied anyway, and the
# backup undoes what ran.
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
echo "# What apply will do, without doing it: every level, the lines"
echo "# qrlconsole would print and a diff of the files it would change. The"
echo "# level that runs a tool is not simulated, so plan exits with 1."
run build/qrlpack plan "$demo/demo.qrl" apply "MACRO{ROOT}=$root" \
  "MACRO{NAME}=world" SYMBOL+LOUD --diff || echo "(exit code $?)"
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

echo
echo "# Carrying your own change to a new release: edit a copy, take the"
echo "# diff, and let qrlpack make the package."
cp -r examples/tree "$demo/tree-1.0"
cp -r examples/tree "$demo/mine"
sed -i 's/^    printf("Hello\\n");$/    printf("Hi there\\n");\n&/' \
  "$demo/mine/src/greeting.c"
echo "Greets twice." > "$demo/mine/src/NOTES"
(
  cd "$demo"
  echo
  echo "\$ diff -ruN tree-1.0 mine > mine.diff"
  diff -ruN tree-1.0 mine > mine.diff || true
  cat mine.diff
  echo
  echo "\$ qrlpack from-diff --tree tree-1.0 -o mine.qrl mine.diff"
  ../qrlpack from-diff --tree tree-1.0 -o mine.qrl mine.diff
)
echo
echo "# The next release moved the code; the package still applies:"
cp -r examples/tree "$demo/tree-1.1"
sed -i '1i /* Release 1.1 */' "$demo/tree-1.1/src/greeting.c"
run build/qrlconsole "$demo/mine.qrl" createbackup "MACRO{ROOT}=$PWD/$demo/tree-1.1/"
run build/qrlconsole "$demo/mine.qrl" apply "MACRO{ROOT}=$PWD/$demo/tree-1.1/"
echo
cat "$demo/tree-1.1/src/greeting.c"
echo
echo "# A release that changed the very lines the change needs: plan says"
echo "# which level fails and where the file drifted; applied anyway, the"
echo "# level fails, names the file and the hunk, and the backup undoes what"
echo "# ran."
cp -r examples/tree "$demo/tree-1.2"
sed -i 's/Hello/Howdy/' "$demo/tree-1.2/src/greeting.c"
run build/qrlpack plan "$demo/mine.qrl" apply "MACRO{ROOT}=$PWD/$demo/tree-1.2/" ||
  echo "(exit code $?)"
run build/qrlconsole "$demo/mine.qrl" createbackup "MACRO{ROOT}=$PWD/$demo/tree-1.2/"
run build/qrlconsole "$demo/mine.qrl" apply "MACRO{ROOT}=$PWD/$demo/tree-1.2/" ||
  echo "(exit code $?)"
run build/qrlconsole "$demo/mine.qrl.backup" restorebackup
echo
if [[ "$(cat "$demo/tree-1.2/src/greeting.c")" == \
      "$(sed 's/Hello/Howdy/' examples/tree/src/greeting.c)" ]] &&
    [[ ! -e "$demo/tree-1.2/src/NOTES" ]]; then
  echo "# After restorebackup tree-1.2 is as it was."
else
  echo "# After restorebackup tree-1.2 differs from what it was!"
  exit 1
fi
echo "# Now carry that hunk by hand into a copy of tree-1.2 and make the"
echo "# package for tree-1.2 from a new diff against it."
