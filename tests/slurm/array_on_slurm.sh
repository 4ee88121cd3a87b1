#!/usr/bin/env bash
# array_on_slurm.sh README BINDIR...: runs the README's Slurm array script on
# a real one-node Slurm started here (munge, slurmctld, slurmd, with all
# their configuration and state in a temporary directory, no cgroups and no
# accounting), over a model directory that holds a cut file and a name with
# a blank. Checks every output, report and the failures that the task logs
# name, then submits the array again: only the fixed file is converted.
# BINDIR... are put on PATH.
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or Slurm or munge
# not installed; a failure instead where KELVORAN_REQUIRE_SLURM is set).
set -euo pipefail
readme=$(realpath -- "$1")
shift
# The tasks run in the model run's directory, so the directories are made
# absolute.
for bin in "$@"; do PATH=$(realpath -- "$bin"):$PATH; done
export PATH
# CI sets KELVORAN_REQUIRE_SLURM, so that a skip there is a failure.
skip() {
  echo "SKIP: $*"
  [ -z "${KELVORAN_REQUIRE_SLURM-}" ] || { echo "FAIL: KELVORAN_REQUIRE_SLURM is set"; exit 1; }
  exit 77
}
for p in munged slurmctld slurmd sbatch sinfo; do
  command -v "$p" > /dev/null || skip "$p is not installed (Debian: apt-get install slurm-wlm munge)"
done
[ "$(id -u)" -eq 0 ] || skip "slurmd must run as root to start jobs"

tmp=$(mktemp -d)
pids=()
stop() {
  # Only the daemons started here, by their process ids.
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2> /dev/null || true
  done
  [ -n "${KEEP-}" ] || rm -rf "$tmp"
}
trap stop EXIT
fail() {
  echo "FAIL: $*"
  for log in "$tmp"/*.out "$tmp"/submit*.txt "$tmp"/run/converted/logs/*.log; do echo "--- $log"; tail -n 20 "$log"; done
  exit 1
}

# The README block that follows "<!-- batch recipe: NAME -->".
recipe() {
  awk -v marker="<!-- batch recipe: $1 -->" '
    $0 == marker { found = 1; next }
    found == 1 && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }
  ' "$readme"
}

# munge, with its own key and socket.
head -c 1024 /dev/urandom > "$tmp/munge.key"
chmod 400 "$tmp/munge.key"
munged --foreground --force --socket="$tmp/munge.sock" --key-file="$tmp/munge.key" \
  --pid-file="$tmp/munged.pid" --log-file="$tmp/munged.log" --seed-file="$tmp/munged.seed" \
  > "$tmp/munged.out" 2>&1 &
pids+=($!)

host=$(hostname -s)
port=$((20000 + RANDOM % 20000))
mkdir -p "$tmp/state" "$tmp/spool"
cat > "$tmp/slurm.conf" <<CONF
ClusterName=kelvorantest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$tmp/munge.sock
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/slurmctld.log
SlurmdLogFile=$tmp/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
MailProg=/bin/true
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=1000 State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$tmp/slurm.conf
for _ in $(seq 50); do [ -S "$tmp/munge.sock" ] && break; sleep 0.1; done
slurmctld -D -c -f "$SLURM_CONF" > "$tmp/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" > "$tmp/slurmd.out" 2>&1 &
pids+=($!)
ready=
for _ in $(seq 60); do
  if sinfo -h -N -o '%T' 2> /dev/null | grep -qx idle; then ready=1; break; fi
  sleep 0.5
done
[ -n "$ready" ] || fail "the node did not become idle in 30 s"

# A model run of four time steps, one cut short; one name has a blank.
run=$tmp/run
mkdir -p "$run/model"
kelvoran-sample "$run/model/t00.dat"
cp "$run/model/t00.dat" "$run/model/t06 b.dat"
cp "$run/model/t00.dat" "$run/model/t18.dat"
head -c 5000000 "$run/model/t00.dat" > "$run/model/t12.dat"
recipe slurm > "$run/convert.sbatch"
submit=$(recipe slurm-submit)
[ -s "$run/convert.sbatch" ] && [ -n "$submit" ] || fail "README.md has no slurm and slurm-submit recipes"
# sbatch --wait can return before the last task of an array is gone; wait
# until the queue is empty too, bounded.
drained() {
  for _ in $(seq 120); do [ -z "$(squeue -h)" ] && return 0; sleep 0.5; done
  fail "tasks still queued 60 s after the array ended: $(squeue)"
}

# The submission waits for the whole array, bounded in time.
export SBATCH_WAIT=1
(cd "$run" && timeout 180 bash -c "$submit") > "$tmp/submit1.txt" 2>&1 && fail "a failed task did not fail the array"
[ $? -ne 124 ] || fail "the array did not finish in 180 s"
drained

check_outputs() {
  for f in t00 "t06 b" t18 t12; do
    [ "$f" = t12 ] && [ "$1" = first ] && continue
    kelvoran-check -q "$run/model/$f.dat" "$run/converted/$f.dat" || fail "$f.dat is not converted ($1 run)"
    [ "$(wc -l < "$run/converted/$f.txt")" -eq 399 ] || fail "$f.txt is not a whole report ($1 run)"
  done
}
check_outputs first
[ ! -e "$run/converted/t12.dat" ] && [ ! -e "$run/converted/t12.txt" ] || fail "the cut file's output keeps a good name"
[ "$(stat -c %s "$run/converted/failed/t12.dat")" -eq 1331280 ] || fail "no partial output in failed/"
grep -q 'QBFIO-F-217' "$run/converted/failed/t12.err" || fail "no error report in failed/"
failures=$(cd "$run" && bash -c "$(recipe slurm-failures)")
[ "$failures" = "failed: model/t12.dat" ] || fail "the logs name as failed: '$failures'"

# Fixed and submitted again: only the fixed file is converted.
cp "$run/model/t00.dat" "$run/model/t12.dat"
(cd "$run" && timeout 180 bash -c "$submit") > "$tmp/submit2.txt" 2>&1 || fail "the second array failed: $(cat "$tmp/submit2.txt")"
drained
check_outputs second
converted=$(cat "$run"/converted/logs/*.log | grep -c '^converted 1, skipped 0, failed 0$' || true)
skipped=$(cat "$run"/converted/logs/*.log | grep -c '^converted 0, skipped 1, failed 0$' || true)
[ "$converted" -eq 4 ] && [ "$skipped" -eq 3 ] || fail "converted $converted and skipped $skipped tasks over both runs (logs)"
echo "PASS: 4 tasks, one failed and converted on the second submission"
