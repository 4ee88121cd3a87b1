#!/usr/bin/env bash
# Runs two builds of kelvoran (the optimised one and a plain debug one) on
# the same inputs and requires byte-identical output files, standard output,
# standard error and exit statuses.
# Usage: compare_builds.sh OPTIMISED_KELVORAN DEBUG_KELVORAN SAMPLE_GENERATOR
set -euo pipefail
opt=$(realpath "$1")
dbg=$(realpath "$2")
gen=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$gen" full.dat
head -c 5000000 full.dat > cut.dat          # ends inside a te record
head -c 4100 full.dat > short-header.dat    # ends inside header record 2
: > empty.dat

status=0
for input in full.dat cut.dat short-header.dat empty.dat; do
  for build in opt dbg; do
    rm -f "out-$build.dat"
    set +e
    env -u FORTRANOPT -u LANG "${!build}" "$input" "out-$build.dat" \
      > "stdout-$build.txt" 2> "stderr-$build.txt"
    echo $? > "status-$build.txt"
    set -e
  done
  for part in out-%s.dat stdout-%s.txt stderr-%s.txt status-%s.txt; do
    a=$(printf "$part" opt)
    b=$(printf "$part" dbg)
    if ! cmp -s "$a" "$b"; then
      echo "differ on $input: $a and $b"
      status=1
    fi
  done
  echo "$input: status $(cat status-opt.txt), $(wc -l < stdout-opt.txt) report lines," \
       "$(wc -c < out-opt.dat) output bytes: identical"
done
exit $status
