#!/usr/bin/env bash
# cross_hosts.sh NATIVE_BUILD TRIPLE...: for each target (aarch64-linux-gnu,
# s390x-linux-gnu), cross-builds kelvoran and its tests in build-<triple>,
# runs the tests under qemu-user (those that need a second program of the
# target skip themselves), runs the demo there against the README's sums,
# and requires the target's output file, standard output, standard error
# and exit status to equal the native build's, byte for byte, on inputs and
# command lines that end in every kind of way. Any difference fails.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: cross_hosts.sh NATIVE_BUILD TRIPLE..." >&2
  exit 2
fi
src=$(cd "$(dirname "$0")/.." && pwd)
native_build=$(realpath "$1")
native=$native_build/kelvoran
native_gen=$native_build/tools/kelvoran-sample
shift
jobs=${JOBS:-2}
failures=0

fail() { echo "cross: $*" >&2; failures=$((failures + 1)); }

# Runs one case: the program (after the emulator words, if any) in a fresh
# directory prepared by `setup`, and keeps what can be observed of it.
run_case() {
  local where=$1 setup=$2; shift 2
  rm -rf "$where" && mkdir -p "$where" && (cd "$where" && eval "$setup")
  (cd "$where" && env -u FORTRANOPT -u LANG -u NO_STOP_MESSAGE "$@" \
     > stdout.txt 2> stderr.txt; echo $? > status.txt)
}

# name | how the directory is prepared | arguments | program (kelvoran
# when not given; kelvoran-check reads the same files as a big-endian host)
cases=(
  "empty-input|: > in.dat|in.dat out.dat"
  "cut-in-header-text|head -c 20 \$SAMPLE > in.dat|in.dat out.dat"
  "cut-in-header-values|head -c 4100 \$SAMPLE > in.dat|in.dat out.dat"
  "cut-in-a-level|head -c 5000000 \$SAMPLE > in.dat|in.dat out.dat"
  "cut-in-last-record|head -c 10566500 \$SAMPLE > in.dat|in.dat out.dat"
  "complete|cp \$SAMPLE in.dat|in.dat out.dat"
  "existing-output|cp \$SAMPLE in.dat; : > out.dat|in.dat out.dat"
  "missing-directory|cp \$SAMPLE in.dat|in.dat no-such-dir/out.dat"
  "usage-no-arguments|:|"
  "usage-three-arguments|:|a b c"
  "check-complete|cp \$SAMPLE in.dat|--json in.dat|check/kelvoran-check"
  "check-cut|head -c 5000000 \$SAMPLE > in.dat|in.dat|check/kelvoran-check"
  "check-verify|cp \$SAMPLE in.dat; \$NATIVE in.dat out.dat > /dev/null|--json in.dat out.dat|check/kelvoran-check"
  "check-changed-output|cp \$SAMPLE in.dat; \$NATIVE in.dat out.dat > /dev/null; printf x > x.bin; dd if=x.bin of=out.dat bs=1 seek=2662623 conv=notrunc 2> /dev/null|in.dat out.dat|check/kelvoran-check"
)

compare_target() {
  local triple=$1 arch=${1%%-*} build=$src/build-$1
  local emu=(qemu-"$arch" -L /usr/"$triple")
  local work
  work=$(mktemp -d)

  # The demo, with the target's sample generator and converter.
  for prog in kelvoran tools/kelvoran-sample; do
    printf '#!/bin/sh\nexec %s "%s" "$@"\n' "${emu[*]}" "$build/$prog" \
      > "$work/${prog##*/}"
    chmod +x "$work/${prog##*/}"
  done
  if "$src/tools/demo.sh" "$work/kelvoran" "$work/kelvoran-sample" "$work" \
       "$src/README.md" > "$work/demo.log" 2>&1; then
    echo "$triple: $(tail -n 1 "$work/demo.log")"
    (cd "$work" && sha256sum sample-out.dat sample-report.txt | sed "s/^/$triple: /")
  else
    tail -n 5 "$work/demo.log" >&2
    fail "$triple: the demo failed"
  fi

  export SAMPLE=$work/native-sample.dat NATIVE=$native
  "$native_gen" "$SAMPLE" || { fail "sample generator"; return; }
  cmp -s "$SAMPLE" "$work/sample.dat" || fail "$triple: the target's sample data differ"
  for c in "${cases[@]}"; do
    IFS='|' read -r name setup args prog <<< "$c"
    prog=${prog:-kelvoran}
    # shellcheck disable=SC2086  # the arguments are words on purpose
    run_case "$work/native-$name" "$setup" "$native_build/$prog" $args
    # shellcheck disable=SC2086
    run_case "$work/target-$name" "$setup" "${emu[@]}" "$build/$prog" $args
    local same=1
    for f in stdout.txt stderr.txt status.txt out.dat; do
      if [ -e "$work/native-$name/$f" ] || [ -e "$work/target-$name/$f" ]; then
        cmp -s "$work/native-$name/$f" "$work/target-$name/$f" || {
          same=0
          fail "$triple: $name: $f differs"
        }
      fi
    done
    [ $same = 1 ] && echo "$triple: $name: status $(cat "$work/native-$name/status.txt"), $(wc -c < "$work/native-$name/stderr.txt") bytes of report, the same as native"
  done
  rm -rf "$work"
}

for triple in "$@"; do
  start=$SECONDS
  toolchain=$src/cmake/toolchains/$triple.cmake
  build=$src/build-$triple
  log=$build/cross-build.log
  mkdir -p "$build"
  if ! { cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
           -DCMAKE_BUILD_TYPE=Release &&
         cmake --build "$build" -j"$jobs"; } > "$log" 2>&1; then
    tail -n 30 "$log" >&2
    fail "$triple: the cross build failed (log: $log)"
    continue
  fi
  if ctest --test-dir "$build" -j"$jobs" --timeout 300 --output-on-failure \
       --no-tests=error > "$build/ctest.log" 2>&1; then
    echo "$triple: $(grep -E 'tests passed' "$build/ctest.log")," \
         "$(grep -c 'Skipped' "$build/ctest.log") skipped under emulation"
  else
    grep -E 'Failed|tests passed' "$build/ctest.log" >&2
    fail "$triple: tests failed under emulation (log: $build/ctest.log)"
  fi
  compare_target "$triple"
  echo "$triple: $((SECONDS - start)) s"
done
[ $failures -eq 0 ]
