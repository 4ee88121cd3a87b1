#!/usr/bin/env bash
# installed_commands.sh BUILD: installs BUILD into a temporary prefix and
# uses what was installed, with only that prefix's bin/ added to PATH: every
# command and manual page is there, each command runs from there, and every
# manual page's SEE ALSO names pages and files that exist.
# Exit status: 0 passed, 1 failed.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

prefix="$tmp/prefix with blank"
cmake --install "$build" --prefix "$prefix" > "$tmp/install.log" || fail "cmake --install: $(cat "$tmp/install.log")"
export PATH=$prefix/bin:/usr/bin:/bin
commands=(kelvoran kelvoran-check kelvoran-sample kelvoran-batch kelvoran-plot-report)
for c in "${commands[@]}"; do
  [ "$(command -v "$c")" = "$prefix/bin/$c" ] || fail "$c is not installed in bin/"
  [ -f "$prefix/share/man/man1/$c.1" ] || fail "$c has no manual page"
done
[ -f "$prefix/share/kelvoran/kelvoran.ctl" ] || fail "the GrADS descriptor is not installed"

# The installed commands, each as a user first runs it.
cd "$tmp"
for c in kelvoran-check kelvoran-sample kelvoran-batch kelvoran-plot-report; do
  "$c" --help > /dev/null || fail "$c --help"
  [ "$("$c" --version)" = "$c 0.1" ] || fail "$c --version says $("$c" --version)"
done
mkdir model
kelvoran-sample model/t00.dat
kelvoran model/t00.dat out.dat > report.txt || fail "kelvoran"
kelvoran-check -q model/t00.dat out.dat || fail "kelvoran-check does not verify the installed kelvoran's output"
[ "$(kelvoran-batch converted model/t00.dat)" = "converted 1, skipped 0, failed 0" ] || fail "kelvoran-batch first run"
[ "$(kelvoran-batch converted model/t00.dat)" = "converted 0, skipped 1, failed 0" ] || fail "kelvoran-batch rerun"
cmp -s report.txt converted/t00.txt || fail "kelvoran-batch's report differs from kelvoran's"

# SEE ALSO: every page of ours it names is installed, and every /usr/local
# path is installed under the prefix.
for page in "$prefix"/share/man/man1/*.1; do
  see_also=$(sed -n '/^\.SH "*SEE ALSO/,/^\.SH/p' "$page")
  [ -n "$see_also" ] || fail "${page##*/} has no SEE ALSO"
  while read -r name; do
    [ -f "$prefix/share/man/man1/$name.1" ] || fail "${page##*/} names $name(1), which is not installed"
  done < <(sed -n 's/^\.BR \(kelvoran[a-z-]*\) (1).*/\1/p' <<< "$see_also")
  while read -r path; do
    [ -e "$prefix/${path#/usr/local/}" ] || fail "${page##*/} names $path, which is not installed"
  done < <(grep -o '/usr/local/[A-Za-z0-9_./-]*[A-Za-z0-9_]' <<< "$see_also" || true)
done
echo "PASS: ${#commands[@]} commands and their manual pages installed and run"
