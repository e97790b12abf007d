#!/usr/bin/env bash
# Makes the repository the console tests look at, by a real publishing
# pass: the repository ORBWEB with the product's classes and machines (two
# known only by their addresses, two whose names are markup), the
# discovery table of their backup servers, one ksorbx pass, and a server of
# the older product line whose label carries an instance (for ksuxgo -d).
#   published_repository.sh BIN_DIR
# ORB_MACHINE_ROOT names the (empty) machine root; ORB_HOSTS answers names.
set -euo pipefail
bin=${1:?usage: published_repository.sh BIN_DIR}
root=${ORB_MACHINE_ROOT:?ORB_MACHINE_ROOT must name the machine root}
repo=ORBWEB
integration='HKLM\SOFTWARE\NorwindSystems\Lumora Vaultline Backup\OrbIntegration'
orbcli() { "$bin/orbcli" -r "$repo" "$@"; }

"$bin/orbcli" repo create "$repo" >/dev/null
orbcli import "$bin/Lumora.orb" >/dev/null
orbcli object add WindowsNT_Server name=BKSRV01 >/dev/null
orbcli object add RedhatLinux name=UNIXBK >/dev/null
orbcli object add Unclassified_TCP name=127.0.0.13 >/dev/null
orbcli object add Unclassified_TCP name=127.0.0.15 >/dev/null
orbcli object add WindowsNT_Server 'name=<img src=x onerror=alert(1)>' >/dev/null
orbcli object add WindowsXP 'name=<svg/onload=document.title=7>' >/dev/null
cat >"$root/hosts" <<'HOSTS'
127.0.0.11  bksrv01.corp.test bksrv01
127.0.0.12  unixbk.corp.test unixbk
HOSTS
"$bin/vldisco" add BKSRV01 --domain CORP --owner 24 --ip 127.0.0.11 --release 9 --product 65 >/dev/null
"$bin/vldisco" add UNIXBK --domain CORP --owner 85 --ip 127.0.0.12 --release 10 --product 65 >/dev/null
"$bin/vldisco" add ARCHIVE --domain CORP --owner 24 --ip 127.0.0.13 --release 9 --product 65 >/dev/null
"$bin/vldisco" add '<svg/onload=1>' --domain CORP --owner 24 --ip 127.0.0.15 --release 9 \
  --product 65 >/dev/null
"$bin/regtool" set "$integration" Support REG_DWORD -1 >/dev/null
ORB_UI=batch ORB_UI_ANSWER=yes "$bin/ksorbx" --batch >/dev/null

# The older product line's object under HOSTA, labelled with its instance.
link() {  # parent-uuid parent-class child-uuid child-class
  orbcli object add Inclusion "parent_uuid=$1" "parent_class=$2" "child_uuid=$3" \
    "child_class=$4" child_sequence_no=0 >/dev/null
}
host=$(orbcli object add SunOS name=HOSTA label=HOSTA)
space=$(orbcli object add Sentispace name=HOSTA-Sentispace label=HOSTA-Sentispace)
vault=$(orbcli object add Vaultline name=HOSTA:1 label=HOSTA:1 address=127.0.0.1 status=1)
link "$host" SunOS "$space" Sentispace
link "$space" Sentispace "$vault" Vaultline
