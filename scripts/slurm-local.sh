#!/usr/bin/env bash
# A one-node Slurm cluster on this machine, for testing the render farm: munge, slurmctld and
# slurmd started directly (no service manager), every file in one folder, localhost only, 2 CPUs.
#
#   scripts/slurm-local.sh start DIR   # prints the SLURM_CONF to export
#   scripts/slurm-local.sh stop DIR
#
# Needs root (slurmd runs the jobs as their owner) and Debian's slurm-wlm and munge packages.
set -euo pipefail

usage() { echo "usage: $0 start|stop DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
dir=$2

stop_daemon() {
  local pidfile=$1 pid
  [ -f "$pidfile" ] || return 0
  pid=$(cat "$pidfile" 2>/dev/null || true)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$pidfile"
}

if [ "$action" = stop ]; then
  stop_daemon "$dir/slurmd.pid"
  stop_daemon "$dir/slurmctld.pid"
  stop_daemon "$dir/munged.pid"
  exit 0
fi
[ "$action" = start ] || usage

for tool in munged mungekey slurmctld slurmd sbatch; do
  command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin:/sbin
  command -v "$tool" >/dev/null || { echo "$0: $tool is not installed (apt-get install slurm-wlm munge)" >&2; exit 1; }
done
[ "$(id -u)" -eq 0 ] || { echo "$0: the test cluster must be started as root" >&2; exit 1; }

mkdir -p "$dir"/{state,spool,munge}
dir=$(cd "$dir" && pwd)
chmod 700 "$dir" "$dir/munge"

# Free TCP ports for the two daemons, so a cluster left by someone else does not answer instead.
read -r ctld_port node_port < <(python3 - <<'EOF'
import socket
socks = [socket.socket() for _ in range(2)]
for s in socks:
    s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in socks))
EOF
)

# Munge: its own key and socket, so no system munge daemon is needed or disturbed.
rm -f "$dir/munge/munge.key"
mungekey --create --keyfile="$dir/munge/munge.key" >/dev/null 2>&1 ||
  dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 2>/dev/null
chmod 600 "$dir/munge/munge.key"
socket="$dir/munge/munge.socket"
munged --force --key-file="$dir/munge/munge.key" --socket="$socket" \
  --pid-file="$dir/munged.pid" --log-file="$dir/munged.log" --seed-file="$dir/munge/seed"

cat >"$dir/slurm.conf" <<EOF
ClusterName=motefield-test
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/backfill
SchedulerParameters=sched_interval=2
MpiDefault=none
ReturnToService=2
MinJobAge=3600
SlurmdTimeout=60
InactiveLimit=0
KillWait=5
NodeName=node1 NodeHostname=localhost NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=test Nodes=node1 Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF="$dir/slurm.conf"

slurmctld -i -f "$SLURM_CONF"
slurmd -N node1 -f "$SLURM_CONF"

# Ready when the node takes work.
for _ in $(seq 150); do
  state=$(sinfo -h -n node1 -o %T 2>/dev/null || true)
  case "$state" in idle|mixed|allocated) echo "SLURM_CONF=$SLURM_CONF"; exit 0 ;; esac
  sleep 0.2
done
echo "$0: the cluster did not come up (node state: ${state:-none}); logs in $dir" >&2
tail -n 20 "$dir/slurmctld.log" "$dir/slurmd.log" >&2 || true
"$0" stop "$dir"
exit 1
