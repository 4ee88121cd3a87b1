#!/usr/bin/env bash
# Runs a fuzz target for a bounded time, starting from
# the committed corpus (copied, so the tree is left as it is), and prints
# the executions and coverage reached. An input that breaks an invariant is
# kept under the work directory; add it to tests/fuzz/crashes/ with the fix
# so that every build replays it.
#   run_fuzz.sh FUZZER SECONDS WORKDIR [SEEDS]
# SEEDS is the seed folder; the sequential reader's corpus by default.
set -euo pipefail
fuzzer=$1
seconds=$2
work=$3
here="$(cd "$(dirname "$0")" && pwd)"
seeds=${4:-$here/corpus}

rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp "$seeds"/* "$work/corpus/"
[ -z "${4:-}" ] && [ -d "$here/crashes" ] && cp "$here"/crashes/* "$work/corpus/"

# Over a long session the sanitizer's quarantine and allocator caches let
# the resident size creep up; leaks are still caught input by input.
status=0
"$fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
  "$work/corpus" > "$work/fuzz.log" 2>&1 || status=$?

grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' \
  "$work/fuzz.log" || true
if [ "$status" -ne 0 ]; then
  tail -n 40 "$work/fuzz.log"
  echo "fuzzing found a failing input: $(ls "$work/artifacts")" >&2
  exit "$status"
fi
echo "corpus now $(ls "$work/corpus" | wc -l) inputs in $work/corpus"
