#!/usr/bin/env bash
# The render farm on a real one-node Slurm cluster started on this machine: a 12-frame sequence
# in chunks of 3 must come back byte for byte as a local render makes it; a cancelled task must
# show as a gap that resubmit fills; a frame that fails must fail its task alone, with the frame
# and the reason in the task's log.
#
#   tests/farm-cluster.sh path/to/motefield
#
# Exits 77 (skipped) where a cluster cannot be started: not root, or Slurm not installed.
set -euo pipefail
mf=$(realpath "$1")
here=$(cd "$(dirname "$0")/.." && pwd)
PATH=$PATH:/usr/sbin:/sbin
if [ "$(id -u)" -ne 0 ] || ! command -v slurmctld >/dev/null || ! command -v munged >/dev/null; then
  echo "skipped: needs root and the slurm-wlm and munge packages"
  exit 77
fi

work=$(mktemp -d /tmp/motefield-farm-test.XXXXXX)
cleanup() { "$here/scripts/slurm-local.sh" stop "$work/cluster" || true; rm -rf "$work"; }
trap cleanup EXIT
export "$("$here/scripts/slurm-local.sh" start "$work/cluster")"
export XDG_STATE_HOME=$work/state
cd "$work"
started=$SECONDS

fail() { echo "FAILED: $*" >&2; tail -n 30 "$work"/cluster/slurm*.log >&2 || true; exit 1; }
# Waits until the scheduler has no task of the job left queued or running.
wait_job() {
  for _ in $(seq 1200); do
    [ -z "$(squeue -h -j "$1" -t PENDING,CONFIGURING,RUNNING,COMPLETING -o %i 2>/dev/null)" ] && return 0
    sleep 0.25
  done
  fail "job $1 did not finish in 5 minutes"
}
job_of() { sed -n 's/^submitted farm job \([0-9]*\).*/\1/p;s/.* as job \([0-9]*\)$/\1/p' <<<"$1"; }
same_frames() {  # every frame of the farm's folder equals the local render's
  for f in $(seq -f %04g 1 12); do
    cmp -s "$1/cloud.$f.exr" "local/cloud.$f.exr" || fail "$1/cloud.$f.exr differs from a local render"
  done
}

# A colour layer and a position pass (a float image of 640 x 360 points) that any node reads.
"$mf" demo -o pass.png >/dev/null
python3 - <<'PY'
import struct
w, h = 640, 360
with open("pos.pfm", "wb") as f:
    f.write(b"PF\n%d %d\n-1.0\n" % (w, h))
    for y in reversed(range(h)):
        f.write(b"".join(struct.pack("<3f", x + 0.5, y + 0.5, (x * 7 + y * 13) % 50) for x in range(w)))
PY
# The pixel size moves, so every frame differs from the next.
scene() {
  cat >"$1" <<JSON
{"composition": {"width": 640, "height": 360, "frame_rate": 24, "duration": 20},
 "layers": [{"name": "Camera 1", "type": "camera", "position": [320, 180, -1000],
             "point_of_interest": [320, 180, 0], "zoom": 1000},
            {"name": "beauty", "type": "footage", "source": "${3:-pass.png}"},
            {"name": "P", "type": "footage", "source": "pos.pfm"},
            {"name": "Cloud", "type": "solid", "color": [0, 0, 0, 0],
             "effect": {"params": {"SOURCE_LAYER": "beauty", "POSITION_PASS": "P",
                                   "PIXEL_SIZE": [[0, 1], [0.5, 4]]}}}],
 "render": {"bit_depth": 32, "output": "$2/cloud.####.exr"}}
JSON
}
scene a.json farm
scene b.json again
"$mf" render a.json --frames 1-12 -o local/cloud.####.exr >/dev/null

# The whole sequence, four tasks of three frames.
out=$("$mf" farm submit a.json --frames 1-12 --chunk 3 2>submit.err) || fail "submit: $(cat submit.err)"
grep -q "warning: on a local disk .* will not find them: the scene " submit.err || fail "no warning about local storage"
job=$(job_of "$out")
[ -n "$job" ] || fail "no job number in: $out"
wait_job "$job"
same_frames farm
status=$("$mf" farm status "$job")
grep -q "^12 frames: 12 done, 0 running, 0 queued, 0 failed, 0 missing" <<<"$status" || fail "status: $status"
[ "$(grep -c " completed " <<<"$status")" -eq 4 ] || fail "four completed tasks expected: $status"
grep -q "nothing to resubmit: every frame is done" <<<"$("$mf" farm resubmit "$job")" || fail "resubmit of a finished job"
echo "sequence rendered on the cluster and equal to the local render ($((SECONDS - started)) s)"

# A controller that does not answer, a partition that does not exist: refused, nothing left.
sed 's/^SlurmctldPort=.*/SlurmctldPort=1/' "$SLURM_CONF" >down.conf
if SLURM_CONF=$work/down.conf "$mf" farm submit a.json 2>down.err; then fail "submitted to no controller"; fi
grep -q "controller is not reachable.*nothing was submitted" down.err || fail "$(cat down.err)"
if "$mf" farm submit a.json --partition nowhere 2>part.err; then fail "submitted to no partition"; fi
grep -q "invalid partition" part.err || fail "$(cat part.err)"
[ "$(ls farm/.motefield-farm | wc -l)" -eq 1 ] || fail "a refused submission left its files"

# A task cancelled while it renders leaves a gap; a second submit into the same files is refused.
out=$("$mf" farm submit b.json --frames 1-12 --chunk 3 2>/dev/null) || fail "second submit"
job=$(job_of "$out")
if "$mf" farm submit b.json --frames 1-12 --chunk 3 >/dev/null 2>twice.err; then
  fail "a second job into the same files was submitted"
fi
grep -q "still rendering" twice.err || fail "refusal: $(cat twice.err)"
# Only a task that has not written its first frame yet is cancelled: frames take a fraction of a
# second, and a task caught near its last one could finish before the cancel reaches it.
cancelled=""
for _ in $(seq 600); do
  for task in $(squeue -h -r -j "$job" -t RUNNING -o %i); do
    chunk=${task#*_}
    first=$(printf %04d $((chunk * 3 + 1)))
    if [ ! -e "again/cloud.$first.exr" ]; then scancel "$task"; cancelled=$chunk; break 2; fi
  done
  sleep 0.05
done
[ -n "$cancelled" ] || fail "no running task with frames left to cancel"
wait_job "$job"
if status=$("$mf" farm status "$job"); then fail "status exits 0 with a chunk cancelled: $status"; fi
grep -Eq "^$cancelled +[0-9-]+ +${job}_$cancelled +stopped" <<<"$status" || fail "no stopped chunk $cancelled: $status"
grep -Eq "^12 frames: ([0-9]+) done, 0 running, 0 queued, 0 failed, [1-3] missing" <<<"$status" ||
  fail "status after cancelling: $status"
out=$("$mf" farm resubmit "$job")
grep -q "^resubmitted chunk $cancelled (frames" <<<"$out" || fail "resubmit: $out"
wait_job "$(job_of "$out")"
status=$("$mf" farm status "$job")
grep -q "^12 frames: 12 done" <<<"$status" || fail "status after resubmitting: $status"
same_frames again
echo "cancelled chunk $cancelled resubmitted and completed ($((SECONDS - started)) s)"

# Frame 5 of the footage is missing: its task fails and says so; the other tasks finish.
mkdir seq
for f in 0 1 2 3 4 6 7; do cp pass.png "seq/pass.000$f.png"; done
scene c.json broken "seq/pass.####.png"
out=$("$mf" farm submit c.json --frames 0-7 --chunk 2 2>/dev/null) || fail "third submit"
job=$(job_of "$out")
wait_job "$job"
if status=$("$mf" farm status "$job"); then fail "status exits 0 with a failed chunk: $status"; fi
grep -Eq "^2 +4-5 +${job}_2 +failed +1 +0 +0 +1 +0" <<<"$status" || fail "failed chunk: $status"
grep -q "^chunk 2 failed: motefield: frame 5: .*pass.0005.png" <<<"$status" || fail "failure line: $status"
grep -q "^8 frames: 7 done" <<<"$status" || fail "other tasks: $status"

# Unknown jobs, in plain words.
if "$mf" farm status 987654 >/dev/null 2>unknown.err; then fail "status of an unknown job"; fi
grep -q "no farm job 987654 is known" unknown.err || fail "unknown job: $(cat unknown.err)"
echo "farm cluster test passed in $((SECONDS - started)) s"
