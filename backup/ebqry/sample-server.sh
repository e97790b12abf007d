#!/usr/bin/env bash
# Sets up the sample backup server on the machine root named by ORB_MACHINE_ROOT:
# the product's HOME (with the sample ServerState.json), its release record
# (product 25, version 7.0, build 120, edition 0, with the manager) and its
# eight services, created and started on the simulated service manager.
#   sample-server.sh BIN_DIR [--stopped]
# BIN_DIR holds regtool and svcctl (build/bin, or the package's bin folder);
# the state file ebqry-sample-state.json lies beside this script (build/bin,
# or the package's documentation examples).
# With --stopped the services are created but left stopped.
set -euo pipefail
umask 077   # the machine root is its owner's alone, as everything the system makes there
bin=${1:?usage: sample-server.sh BIN_DIR [--stopped]}
root=${ORB_MACHINE_ROOT:?ORB_MACHINE_ROOT must name the machine root}
home="$root/Vaultline"
here=$(dirname "$(readlink -f "$0")")

mkdir -p "$home"
cp "$here/ebqry-sample-state.json" "$home/ServerState.json"
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
