#!/usr/bin/env bash
# Builds qrlconsole and shows what it does: the example package is checked
# and planned, the files it touches are backed up, it is applied to a copy of the example
# tree and the change is shown; reversing it brings the tree back as it
# was, and so does restoring the backup after applying it again. Then a
# change to a copy of the tree becomes a package with qrlpack from-diff and
# is carried to two later releases with qrlpack rebase: one where it
# carries by itself, and one through a conflict resolved in a work tree.
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
echo "# Release 1.1 moved the code and renamed main's parameters, next to"
echo "# the changed line: plan says the level fails; rebase carries it, with"
echo "# the release's own lines as its context, and writes the package for"
echo "# release 1.1 once it gives the release back when applied and reversed."
cp -r examples/tree "$demo/tree-1.1"
sed -i -e '1i /* Release 1.1 */' -e 's/int main(void)/int main(int argc, char **argv)/' \
  "$demo/tree-1.1/src/greeting.c"
(
  cd "$demo"
  run ../qrlpack plan mine.qrl apply "MACRO{ROOT}=$PWD/tree-1.1/" ||
    echo "(exit code $?)"
  run ../qrlpack rebase mine.qrl --onto tree-1.1 --base tree-1.0 -o mine-1.1.qrl
  run ../qrlconsole mine-1.1.qrl createbackup "MACRO{ROOT}=$PWD/tree-1.1/"
  run ../qrlconsole mine-1.1.qrl apply "MACRO{ROOT}=$PWD/tree-1.1/"
  echo
  cat tree-1.1/src/greeting.c
)
echo
echo "# Release 1.2 changed the very line the change needs: a conflict, and"
echo "# nothing is written. The work tree shows release 1.2 with what carried"
echo "# and the conflict marked; resolved by hand (both greetings, in the"
echo "# release's words), from-trees makes the package for release 1.2."
cp -r examples/tree "$demo/tree-1.2"
sed -i 's/Hello/Howdy/' "$demo/tree-1.2/src/greeting.c"
(
  cd "$demo"
  run ../qrlpack rebase mine.qrl --onto tree-1.2 --base tree-1.0 \
    --worktree work-1.2 || echo "(exit code $?)"
  echo
  cat work-1.2/src/greeting.c
  sed -i '/^<<<<<<< package$/,/^>>>>>>> NEW$/c\
    printf("Hi there\\n");\
    printf("Howdy\\n");' work-1.2/src/greeting.c
  echo
  echo "\$ \$EDITOR work-1.2/src/greeting.c"
  diff -u tree-1.2/src/greeting.c work-1.2/src/greeting.c || true
  run ../qrlpack from-trees tree-1.2 work-1.2 -o mine-1.2.qrl
  run ../qrlconsole mine-1.2.qrl apply "MACRO{ROOT}=$PWD/tree-1.2/"
  echo
  if diff -r tree-1.2 work-1.2 >/dev/null; then
    echo "# tree-1.2 now holds the change, as resolved."
  else
    echo "# tree-1.2 differs from the resolved work tree!"
    exit 1
  fi
)
