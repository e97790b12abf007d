#!/usr/bin/env bash
# Walk speed of the agent's jobs table against the system's own snmpd and
# against a bare net-snmp agent, side by side in one run, all on loopback:
#   snmpwalk, snmpbulkwalk   -v2c: 10,000 jobs served by snmphost, and a
#       private snmpd (own config, free port) walked over its whole tree;
#   snmpbulkwalk-v3   the jobs table over SNMPv3 authPriv (SHA-256/AES) from
#       snmphost's Users key, and a second private snmpd with the same user
#       (createUser/rouser, own persistent dir) serving a table of as many
#       cells: ten `extend` commands of 10,000 output lines each;
#   ceiling   snmpbulkwalk -v2c of the jobs table, and of the same table
#       served from a std::map by one handler in bin/snmp_ceiling_agent.
# Prints OIDs per second and the ratios for each of BENCH_RUNS runs (default
# 3), then one line per comparison:
#   median NAME OURS_OIDS_PER_S PEER_OIDS_PER_S RATIO RATIO_MIN RATIO_MAX
#          OURS_CPU_US_PER_OID PEER_CPU_US_PER_OID
# The last two are the serving process's own CPU time (user + system) per OID,
# which other load on the machine hardly moves, unlike the walk's wall time.
#   bench/snmp_walk_bench.sh [BIN_DIR]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/bin}")
jobs=10000
root=$(mktemp -d "${TMPDIR:-/tmp}/orb-walkbench-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; done
  rm -rf "$root"
}
trap cleanup EXIT
export ORB_MACHINE_ROOT=$root MIBS= SNMP_PERSISTENT_DIR=$root/snmp SNMPCONFPATH=$root/snmp
# The agent's trace lines go nowhere, as without a debugger; BENCH_TRACE=file:PATH
# measures the walks with every line written.
export ORB_DEBUG_OUTPUT="${BENCH_TRACE:-file:/dev/null}"

freeport() {
  python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The backup server with 10,000 jobs and its database engine running.
home=$root/Vaultline
mkdir -p "$home"
python3 - "$home/ServerState.json" "$jobs" <<'PY'
import json, sys
jobs = [{"jobId": i + 1, "jobType": 1, "submitTime": "now-1d", "lastRunTime": "now-1h",
         "owner": "caroot", "description": "Job %d" % (i + 1), "serverName": "VAULT01",
         "groupName": "GROUP0"} for i in range(int(sys.argv[2]))]
json.dump({"server": {"batchSize": 256}, "jobs": jobs}, open(sys.argv[1], "w"))
PY
reg=$bin/regtool
"$reg" set 'SOFTWARE\NorwindSystems\Lumora Vaultline Backup\Base\Path' HOME REG_SZ "$home" >/dev/null
"$bin/svcctl" create NWSDBEngine --delay 0 >/dev/null && "$bin/svcctl" start NWSDBEngine >/dev/null
agentkey='SOFTWARE\NorwindSystems\Lumora Vaultline Backup\SNMPAgents\lmEBAgent'
params='SYSTEM\CurrentControlSet\Services\SNMP\Parameters'
"$reg" set "$params\\ExtensionAgents" 1 REG_SZ "$agentkey" >/dev/null
"$reg" set "$params\\ValidCommunities" public REG_DWORD 4 >/dev/null
"$reg" set "$agentkey" Pathname REG_SZ "$bin/lmEBAgent.dll" >/dev/null
# The SNMPv3 user, the same on snmphost and on the second snmpd.
v3=(-v3 -l authPriv -u bench -a SHA-256 -A bench-auth-phrase -x AES -X bench-priv-phrase)
printf 'bench-auth-phrase\nbench-priv-phrase\n' >"$root/bench.pass"
chmod 600 "$root/bench.pass"
for value in "SecurityLevel authPriv" "AuthProtocol SHA-256" "PrivProtocol AES" \
             "PassphraseFile $root/bench.pass"; do
  "$reg" set "$params\\Users\\bench" ${value%% *} REG_SZ "${value#* }" >/dev/null
done

aport=$(freeport)
"$bin/snmphost" --listen "udp:127.0.0.1:$aport" >"$root/snmphost.log" 2>&1 &
pids+=($!); hostpid=$!
sport=$(freeport)
mkdir -p "$root/snmpd"
printf 'rocommunity public 127.0.0.1\n' >"$root/snmpd/snmpd.conf"
snmpd -f -Lo -C -c "$root/snmpd/snmpd.conf" -p "$root/snmpd/pid" \
  --persistentDir="$root/snmpd" "udp:127.0.0.1:$sport" >"$root/snmpd.log" 2>&1 &
pids+=($!); snmpdpid=$!
v3port=$(freeport)
mkdir -p "$root/snmpd3"
{ printf 'createUser bench SHA-256 "bench-auth-phrase" AES "bench-priv-phrase"\n'
  printf 'rouser bench authPriv\n'
  for n in $(seq 10); do printf 'extend jobs%d /usr/bin/seq %d\n' "$n" "$jobs"; done
} >"$root/snmpd3/snmpd.conf"
snmpd -f -Lo -C -c "$root/snmpd3/snmpd.conf" -p "$root/snmpd3/pid" \
  --persistentDir="$root/snmpd3" "udp:127.0.0.1:$v3port" >"$root/snmpd3.log" 2>&1 &
pids+=($!); snmpd3pid=$!
extendroot=.1.3.6.1.4.1.8072.1.3.2.4  # nsExtendOutput2Table: one line a row
cport=$(freeport)
"$bin/snmp_ceiling_agent" "udp:127.0.0.1:$cport" "$jobs" >"$root/ceiling.log" 2>&1 &
pids+=($!); ceilingpid=$!

jobsroot=.1.3.6.1.4.1.58231.2.12.9.9
# Waits until the jobs table holds every row (the collector's first pass).
out=
for _ in $(seq "${BENCH_FILL_TRIES:-600}"); do
  out=$(snmpget -v2c -c public -On -t 1 -r 0 "127.0.0.1:$aport" "$jobsroot.1.1.10.$((jobs - 1))" 2>/dev/null || true)
  [[ $out == *INTEGER* ]] && break
  sleep 0.5
done
[[ $out == *INTEGER* ]] || { echo "the jobs table did not fill" >&2; tail -20 "$root/snmphost.log" >&2; exit 1; }

# pid -> its CPU time so far in clock ticks (user + system, children included:
# snmpd runs the extend commands)
cputicks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 + $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
# server-pid port subtree tool args... -> "oids seconds cpu-us-per-oid"
measure() {
  local start end count ticks pid=$1 port=$2 tree=$3
  shift 3
  ticks=$(cputicks "$pid")
  start=$(date +%s.%N)
  count=$("$@" -On -t 5 -r 1 "127.0.0.1:$port" "$tree" | wc -l)
  end=$(date +%s.%N)
  ticks=$(($(cputicks "$pid") - ticks))
  awk -v n="$count" -v s="$start" -v e="$end" -v t="$ticks" -v hz="$hz" \
    'BEGIN { printf "%d %.6f %.3f\n", n, e - s, t / hz * 1e6 / n }'
}
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", n / s }'; }

# name ours-label our-pid our-port our-subtree peer-label peer-pid peer-port
# peer-subtree tool args...
compare() {
  local name=$1 olabel=$2 opid=$3 oport=$4 otree=$5 plabel=$6 ppid=$7 pport=$8 ptree=$9
  local an as ac sn ss sc ar sr
  shift 9
  read -r an as ac < <(measure "$opid" "$oport" "$otree" "$@")
  read -r sn ss sc < <(measure "$ppid" "$pport" "$ptree" "$@")
  if ((an < 100 || sn < 100)); then  # an error message, not a walk
    echo "$name: $olabel gave $an lines, $plabel $sn" >&2
    exit 1
  fi
  ar=$(rate "$an" "$as"); sr=$(rate "$sn" "$ss")
  printf '%-4s %-16s %-20s %7d %8.3f %8d %7.2f\n' "$run" "$name" "$olabel" "$an" "$as" "$ar" "$ac"
  printf '%-4s %-16s %-20s %7d %8.3f %8d %7.2f\n' "$run" "$name" "$plabel" "$sn" "$ss" "$sr" "$sc"
  rates[$name]+="$ar $sr "
  cpus[$name]+="$ac $sc "
}

runs=${BENCH_RUNS:-3}
names=(snmpwalk snmpbulkwalk snmpbulkwalk-v3 ceiling)
declare -A rates cpus
printf '%-4s %-16s %-20s %7s %8s %8s %7s\n' run name server oids seconds oids/s cpu-us
for run in $(seq "$runs"); do
  for tool in snmpwalk snmpbulkwalk; do
    compare "$tool" "snmphost jobs table" "$hostpid" "$aport" "$jobsroot" \
      "snmpd whole tree" "$snmpdpid" "$sport" .1 "$tool" -v2c -c public
  done
  compare snmpbulkwalk-v3 "snmphost jobs table" "$hostpid" "$aport" "$jobsroot" \
    "snmpd extend table" "$snmpd3pid" "$v3port" "$extendroot" snmpbulkwalk "${v3[@]}"
  compare ceiling "snmphost jobs table" "$hostpid" "$aport" "$jobsroot" \
    "ceiling agent table" "$ceilingpid" "$cport" "$jobsroot" snmpbulkwalk -v2c -c public
done
# The median run of each side, the ratio of the medians and the range of the
# runs' own ratios.
for name in "${names[@]}"; do
  echo "${rates[$name]} ${cpus[$name]}" | awk -v tool="$name" -v runs="$runs" '
    function median(a, n,   i, j, t) {
      for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    { for (i = 1; i < 2 * runs; i += 2) { n++; ours[n] = $i; peer[n] = $(i + 1); r = $i / $(i + 1)
        if (n == 1 || r < lo) lo = r; if (n == 1 || r > hi) hi = r }
      for (; i < NF; i += 2) { m++; ocpu[m] = $i; pcpu[m] = $(i + 1) } }
    END { mo = median(ours, n); mp = median(peer, n)
          printf "median %s %.0f %.0f %.2f %.2f %.2f %.2f %.2f\n", tool, mo, mp, mo / mp, lo, hi,
                 median(ocpu, m), median(pcpu, m) }'
done
