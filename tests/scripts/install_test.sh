#!/usr/bin/env bash
# Installs a build the two ways a user would and runs the tools from there:
# `cmake --install` into a staging directory (DESTDIR), and the Debian
# package that `cpack -G DEB` makes, unpacked with dpkg-deb. Each time both
# tools answer --version, the example package is built, applied to a copy
# of the installed example tree and reversed, the manual pages are there
# and bash takes the completion of both tools. The build needs only the
# two tools (scripts/demo.sh builds no more). Usage: install_test.sh
# BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

fail() {
  echo "install_test: $*" >&2
  exit 1
}

# Runs the installed tools under the prefix $1 (what /usr is in the
# package).
check_installed() {
  local root=$1 docs=$1/share/doc/qrlconsole work
  for file in bin/qrlconsole bin/qrlpack share/man/man1/qrlconsole.1 \
    share/man/man1/qrlpack.1 share/doc/qrlconsole/README.md \
    share/doc/qrlconsole/docs/package-format.md \
    share/doc/qrlconsole/docs/language.md \
    share/doc/qrlconsole/examples/demo.json \
    share/bash-completion/completions/qrlpack \
    share/bash-completion/completions/qrlconsole; do
    [[ -f $root/$file ]] || fail "$file is missing under $root"
  done
  [[ $("$root/bin/qrlconsole" --version) == "qrlconsole $version 20230101" ]] ||
    fail "qrlconsole --version: $("$root/bin/qrlconsole" --version)"
  [[ $("$root/bin/qrlpack" --version) == "qrlpack $version" ]] ||
    fail "qrlpack --version: $("$root/bin/qrlpack" --version)"

  work=$(mktemp -d "$stage/work.XXXXXX")
  cp -r "$docs/examples/tree" "$work/tree"
  "$root/bin/qrlpack" build "$docs/examples/demo.json" -o "$work/demo.qrl"
  "$root/bin/qrlconsole" "$work/demo.qrl" apply "MACRO{ROOT}=$work/tree/" \
    "MACRO{NAME}=world" >"$work/apply.out"
  grep -q 'Greeted world in' "$work/apply.out" ||
    fail "apply did not run the example: $(cat "$work/apply.out")"
  ! diff -r "$docs/examples/tree" "$work/tree" >/dev/null ||
    fail "apply left the example tree as it was"
  "$root/bin/qrlconsole" "$work/demo.qrl" reverse "MACRO{ROOT}=$work/tree/" \
    "MACRO{NAME}=world" >/dev/null
  diff -r "$docs/examples/tree" "$work/tree" >/dev/null ||
    fail "reverse did not bring the example tree back"

  for page in qrlconsole qrlpack; do
    man -l "$root/share/man/man1/$page.1" 2>/dev/null | grep -q "^NAME" ||
      fail "man $page shows nothing"
  done
  for tool in qrlpack qrlconsole; do
    PATH="$root/bin:$PATH" bash -c \
      "source '$root/share/bash-completion/completions/$tool' &&
       complete -p $tool" >/dev/null ||
      fail "bash rejects the completion of $tool"
  done
}

DESTDIR="$stage/destdir" cmake --install "$build" --prefix /opt/qrl \
  >"$stage/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$stage/install.log")"
check_installed "$stage/destdir/opt/qrl"
echo "install_test: cmake --install with DESTDIR works"

(cd "$stage" && cpack --config "$build/CPackConfig.cmake" -G DEB \
  -B "$stage/cpack" >"$stage/cpack.log" 2>&1) ||
  fail "cpack failed: $(cat "$stage/cpack.log")"
deb=$(find "$stage/cpack" -maxdepth 1 -name 'qrlconsole_*.deb')
[[ -n $deb ]] || fail "cpack made no .deb"
[[ $(dpkg-deb -f "$deb" Package) == qrlconsole ]] || fail "package name"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version"
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "no Depends on libc6"
dpkg-deb -x "$deb" "$stage/deb"
check_installed "$stage/deb/usr"
echo "install_test: the .deb ($(basename "$deb")) installs and its tools run"
