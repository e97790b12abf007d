#!/usr/bin/env bash
# mib_test.sh lint|walk SOURCE_DIR BIN_DIR: checks LUMORA-VAULTLINE-AGENT-MIB.
#   lint  smilint at level 6 reports no error and no warning beyond the ones
#         the README explains.
#   walk  a walk of the running agent (snmphost with the sample backup server
#         and one watcher) names every returned OID by an object of the
#         module with its instance (no numeric rest, no name of a mere node),
#         with the type the module gives it; every object of the module is
#         served; and each notification's OID is the one the agent's traps
#         map to (enterprise.0.specific).
# Exits 77 (skipped) when the tools or the base MIB modules are missing.
set -euo pipefail
mode=${1:?lint or walk}
src=${2:?source folder}
bin=${3:-}
module=LUMORA-VAULTLINE-AGENT-MIB
mibfile=$src/snmpagent/$module.txt
root=.1.3.6.1.4.1.58231.2.12.9
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

[ -f "$mibfile" ] || fail "$mibfile missing"
base=$("$src/scripts/base-mibs") || skip "no base MIB modules (SNMPv2-SMI, SNMPv2-TC, SNMPv2-CONF)"
work=$(mktemp -d "${TMPDIR:-/tmp}/orb-mib-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# net-snmp's tools read only this module and the base ones, write nothing
# outside the work folder and read no configuration of this machine.
export SNMP_PERSISTENT_DIR=$work/snmp SNMPCONFPATH=$work/snmp MIBDIRS="$src/snmpagent:$base" MIBS=
export SMIPATH="$src/snmpagent:$base"
mibopts=(-m "$module" -M "$src/snmpagent:$base")

if [ "$mode" = lint ]; then
  command -v smilint >/dev/null || skip "smilint missing (smitools)"
  smilint -l 6 -s "$mibfile" >"$work/lint" 2>&1 || true
  cat "$work/lint"
  # Severities 1 to 3 are errors, 4 and above warnings.
  grep -qE ': \[[0-3]\] ' "$work/lint" && fail "smilint reports errors"
  # The MODULE-IDENTITY sits on the enterprise's product arcs, which no
  # module defines (see the README): three implicit nodes, nothing else.
  other=$(grep -v 'warning: implicit node definition$' "$work/lint" || true)
  [ -z "$other" ] || fail "smilint warnings the README does not explain: $other"
  [ "$(grep -c 'implicit node definition' "$work/lint" || true)" -le 3 ] || fail "more implicit nodes"
  echo "mib lint ok"
  exit 0
fi

[ "$mode" = walk ] || fail "unknown mode $mode"
[ -n "$bin" ] && [ -x "$bin/snmphost" ] || fail "no snmphost in '$bin'"
for tool in snmpwalk snmptranslate snmptrapd smidump; do
  command -v "$tool" >/dev/null || skip "$tool missing"
done

# The module's objects by kind: scalar or column names what the agent serves.
smidump -f identifiers "$mibfile" 2>/dev/null | awk '$1 == "'"$module"'" { print $2, $3, $4 }' \
  >"$work/ids"
grep -qw scalar "$work/ids" || fail "smidump lists no scalars"
# The index columns are not-accessible: no agent serves them.
awk '/OBJECT-TYPE$/ { name = $1 } /MAX-ACCESS *not-accessible/ { print name }' "$mibfile" |
  sort >"$work/not-accessible"
awk '$2 == "scalar" || $2 == "column" { print $1 }' "$work/ids" | sort |
  comm -23 - "$work/not-accessible" >"$work/served-kinds"

# A private machine: the sample backup server, the agent registered with the
# SNMP service as the installer does, one watcher.
export ORB_MACHINE_ROOT=$work/machine ORB_DEBUG_OUTPUT=none
mkdir -p "$ORB_MACHINE_ROOT"
bash "$bin/ebqry-sample-server.sh" "$bin" >/dev/null
agentkey='SOFTWARE\NorwindSystems\Lumora Vaultline Backup\SNMPAgents\lmEBAgent'
params='SYSTEM\CurrentControlSet\Services\SNMP\Parameters'
"$bin/regtool" set "$params\\ExtensionAgents" 1 REG_SZ "$agentkey" >/dev/null
"$bin/regtool" set "$params\\ValidCommunities" public REG_DWORD 4 >/dev/null
"$bin/regtool" set "$agentkey" Watchers REG_MULTI_SZ '"C:\data\ledger.db","3","4","5","4"' >/dev/null

# snmphost on a free loopback port; a busy one makes it end at once.
port=
start_host() {  # library [extra snmphost arguments]
  local library=$1 candidate pid
  shift
  "$bin/regtool" set "$agentkey" Pathname REG_SZ "$bin/$library" >/dev/null
  port=
  for _ in 1 2 3 4 5 6 7 8; do
    candidate=$((20000 + RANDOM % 40000))
    "$bin/snmphost" --listen "udp:127.0.0.1:$candidate" "$@" >"$work/snmphost.log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
      if grep -q "snmphost: serving" "$work/snmphost.log"; then
        port=$candidate pids+=("$pid")
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  cat "$work/snmphost.log" >&2
  fail "snmphost did not start"
}
stop_host() {
  local pid=${pids[-1]}
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  unset 'pids[-1]'
}

start_host liblmEBAgent.so
# The collectors fill the tables at once; walk until every object answers
# (the last table to fill decides), 20 s at most.
for _ in $(seq 40); do
  snmpwalk "${mibopts[@]}" -v2c -c public -OS -t 2 -r 1 "127.0.0.1:$port" "$root" \
    >"$work/walk" 2>&1 || true
  sed -n "s/^$module::\([A-Za-z0-9]*\)\..*/\1/p" "$work/walk" | sort -u >"$work/walked"
  comm -23 "$work/served-kinds" "$work/walked" >"$work/unserved"
  [ -s "$work/unserved" ] || break
  sleep 0.5
done
stop_host
lines=$(grep -vc 'No more variables left' "$work/walk" || true)
echo "walk: $lines objects"
[ "$lines" -gt 27 ] || { cat "$work/walk"; fail "the walk returned only $lines objects"; }

# Every returned OID is an object of the module and one instance arc:
# scalars .0, table cells their row.
bad=$(grep -v 'No more variables left' "$work/walk" | while IFS= read -r line; do
  name=${line%% = *}
  object=${name#"$module::"}
  object=${object%%.*}
  instance=${name#*"$module::$object."}
  kind=$(awk -v o="$object" '$1 == o { print $2 }' "$work/ids")
  case $name in
    "$module::"*) ;;
    *) echo "not named by the module: $line"; continue ;;
  esac
  case $kind:$instance in
    scalar:0) ;;
    column:[0-9] | column:[1-9]*[0-9]) ;;
    *) echo "named only by a prefix or a wrong instance ($kind): $line" ;;
  esac
  case $line in *'Wrong Type'*) echo "type differs from the module: $line" ;; esac
done)
[ -z "$bad" ] || fail "$bad"
[ -s "$work/unserved" ] && fail "objects of the module the agent did not serve: $(tr '\n' ' ' <"$work/unserved")"

# Traps: the agent's own trap path, fed every code by the test agent, to a
# receiver on a free loopback port; each code's notification is enterprise.0.code.
echo "authCommunity log public" >"$work/snmptrapd.conf"
trapport=
for _ in 1 2 3 4 5 6 7 8; do
  candidate=$((20000 + RANDOM % 40000))
  rm -f "$work/traps"
  snmptrapd -f -Lf "$work/traps" -C -c "$work/snmptrapd.conf" -On "udp:127.0.0.1:$candidate" &
  pid=$!
  for _ in $(seq 50); do
    if grep -q "NET-SNMP version" "$work/traps" 2>/dev/null; then trapport=$candidate; break 2; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done
[ -n "$trapport" ] || fail "snmptrapd did not start"
pids+=("$pid")
"$bin/regtool" set "$params\\TrapConfiguration\\public" 1 REG_SZ "127.0.0.1:$trapport" >/dev/null
codes=$(seq -s, 1 17)
ORB_TEST_TRAP_CODES=$codes start_host liblmEBAgentTraps.so --trap-address 127.0.0.1
for _ in $(seq 100); do
  [ "$(grep -cE 'Enterprise Specific Trap|\.1\.3\.6\.1\.6\.3\.1\.1\.4\.1\.0 = OID' "$work/traps" 2>/dev/null || true)" -ge 17 ] && break
  sleep 0.1
done
stop_host
# "ENTERPRISE CODE" per trap: an SNMPv1 trap names both; an SNMPv2 one
# carries them as its snmpTrapOID, enterprise.0.code.
{
  sed -n 's/.*[[:space:]]\(\.[.0-9]*\) Enterprise Specific Trap (\([0-9]*\)).*/\1 \2/p' "$work/traps"
  sed -n 's/.*\.1\.3\.6\.1\.6\.3\.1\.1\.4\.1\.0 = OID: \(\.[.0-9]*\)\.0\.\([0-9]*\).*/\1 \2/p' "$work/traps"
} | sort -u >"$work/sent"
[ "$(wc -l <"$work/sent")" -eq 17 ] || { cat "$work/traps"; fail "the agent did not send the 17 traps"; }
# The trap codes and what the agent's monitor and watcher check mean by them.
names=(lvbDBEngineStarted lvbDBEngineStopped lvbDiscoverySvcStarted lvbDiscoverySvcStopped
       lvbJobEngineStarted lvbJobEngineStopped lvbMsgEngineStarted lvbMsgEngineStopped
       lvbSvcControlSvrStarted lvbSvcControlSvrStopped lvbTapeEngineStarted lvbTapeEngineStopped
       lvbUnivDomainSvrStarted lvbUnivDomainSvrStopped lvbRpcStarted lvbRpcStopped
       lvbWatcherMaxStatusChanged)
[ "$(grep -cw notification "$work/ids")" -eq 17 ] || fail "the module does not have 17 notifications"
for code in $(seq 1 17); do
  enterprise=$(awk -v c="$code" '$2 == c { print $1 }' "$work/sent")
  [ -n "$enterprise" ] || fail "no trap with specific code $code"
  oid=$(snmptranslate "${mibopts[@]}" -On "$module::${names[code - 1]}")
  [ "$oid" = "$enterprise.0.$code" ] ||
    fail "${names[code - 1]} is $oid, the agent's trap $code maps to $enterprise.0.$code"
done
echo "mib walk ok"
