#!/usr/bin/env bash
# Sets up the sample backup server on the machine root named by ORB_MACHINE_ROOT:
# the product's HOME (with the sample ServerState.json), its release record
# (product 25, version 7.0, build 120, edition 0, with the manager) and its
# eight services, created and started on the simulated service manager.
#   sample-server.sh BIN_DIR [--stopped]
# BIN_DIR holds regtool, svcctl and ebqry-sample-state.json (build/bin).
# With --stopped the services are created but left stopped.
set -euo pipefail
bin=${1:?usage: sample-server.sh BIN_DIR [--stopped]}
root=${ORB_MACHINE_ROOT:?ORB_MACHINE_ROOT must name the machine root}
home="$root/Vaultline"

mkdir -p "$home"
cp "$bin/ebqry-sample-state.json" "$home/ServerState.json"
"$bin/regtool" set 'SOFTWARE\NorwindSystems\Lumora Vaultline Backup\Base\Path' HOME REG_SZ "$home"
version='SOFTWARE\NorwindSystems\Lumora Vaultline Backup\Base\Version'
for value in ProductCode=25 Major=7 Minor=0 Build=120 Edition=0 Manager=1; do
  "$bin/regtool" set "$version" "${value%%=*}" REG_DWORD "${value#*=}"
done
for service in NWSDBEngine NWSDiscoverySvc NWSJobEngine NWSMsgEngine NWSSvcControlSvr \
               NWSTapeEngine NWSUnivDomainSvr NWTIRPC; do
  "$bin/svcctl" query "$service" >/dev/null 2>&1 || "$bin/svcctl" create "$service" --delay 200
  if [ "${2:-}" != "--stopped" ]; then
    "$bin/svcctl" start "$service" 2>/dev/null || true   # already running is fine
  fi
done
echo "sample backup server VAULT01 in $home"
