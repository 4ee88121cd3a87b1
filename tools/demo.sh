#!/usr/bin/env bash
# demo.sh KELVORAN SAMPLE_TOOL DIR SUMS: writes the sample model file into
# DIR, converts it, prints the report and one summary line, and checks the
# sha256 of the output file and of the report against the lines
# "<sha256>  sample-out.dat" and "<sha256>  sample-report.txt" in SUMS (the
# README). Any difference makes the status 1.
set -uo pipefail

if [ $# -ne 4 ]; then
  echo "usage: demo.sh KELVORAN SAMPLE_TOOL DIR SUMS" >&2
  exit 2
fi
kelvoran=$1 sample_tool=$2 dir=$3 sums=$4
input=$dir/sample.dat output=$dir/sample-out.dat report=$dir/sample-report.txt

# The generator and kelvoran both refuse to overwrite a file.
rm -f "$input" "$output" "$report"
"$sample_tool" "$input" || exit 1
"$kelvoran" "$input" "$output" | tee "$report"
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ]; then
  echo "demo: kelvoran failed with status $status" >&2
  exit 1
fi

# The published sums: the first line naming each file.
published() { awk -v name="$1" '$2 == name && $1 ~ /^[0-9a-f]+$/ && length($1) == 64 { print $1; exit }' "$sums"; }
mismatch=()
for f in "$output" "$report"; do
  name=${f##*/}
  want=$(published "$name")
  have=$(sha256sum < "$f" | cut -d' ' -f1)
  [ "$have" = "$want" ] || mismatch+=("$name (sha256 $have, ${sums##*/} gives ${want:-none})")
done

lines=$(wc -l < "$report")
bytes=$(wc -c < "$output")
if [ ${#mismatch[@]} -ne 0 ]; then
  printf 'demo: checksum MISMATCH: %s\n' "${mismatch[@]}" >&2
  exit 1
fi
echo "demo: converted $input into $output ($bytes bytes), report of $lines lines in $report; sha256 of both match ${sums##*/}"
