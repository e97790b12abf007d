#!/usr/bin/env bash
# package_test.sh BUILD_DIR PREFIX: builds the .deb into a private folder,
# checks it with dpkg-deb, rates its systemd unit, unpacks it there and runs
# its maintainer scripts (install, upgrade, remove, purge) with the unpacked
# tree as their root and its own machine root.
set -euo pipefail
build=${1:?build folder}
prefix=${2:?package prefix}
work=$(mktemp -d "${TMPDIR:-/tmp}/orb-package-XXXXXX")
snmp_stop() { :; }
trap 'snmp_stop; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb") ($(du -h "$deb" | cut -f1))"

dpkg-deb --info "$deb" >"$work/info"
grep -q '^ Package: vaultline-orb$' "$work/info" || fail "package name"
grep -q '^ Depends: .*libsnmp' "$work/info" || fail "the net-snmp library is not a dependency"

dpkg-deb --contents "$deb" >"$work/contents"
for file in orbf-install snmphost regtool svcctl libOrbfGUI.so libSetupCLS.so libBRAND.so \
            libVLVCTL.so liblmEBAgent.so liblmAgentRes.so libEBQRY.so libKestOrb.so setup.inf \
            setup.icf; do
  grep -q " \.$prefix/bin/$file\$" "$work/contents" || fail "$prefix/bin/$file missing"
done
grep -q ' \./usr/share/snmp/mibs/LUMORA-VAULTLINE-AGENT-MIB\.txt$' "$work/contents" ||
  fail "the agent's MIB module is not in /usr/share/snmp/mibs"
if grep -E '_tests$|_bench$|libTestAgent|OrbDynProbe' "$work/contents"; then
  fail "test programs in the package"
fi
examples=/usr/share/doc/vaultline-orb/examples
for file in ebqry-sample-server.sh ebqry-sample-state.json; do
  grep -q " \.$examples/$file\$" "$work/contents" || fail "$examples/$file missing"
done
if grep -q " \.$prefix/bin/ebqry-sample" "$work/contents"; then
  fail "the sample backup server is among the programs"
fi

dpkg-deb --raw-extract "$deb" "$work/tree"
tree="$work/tree"
unit="$tree/lib/systemd/system/vaultline-snmphost.service"
[ -f "$unit" ] || fail "no systemd unit"
grep -q "^ExecStart=$prefix/bin/snmphost \$SNMPHOST_OPTIONS\$" "$unit" || fail "unit ExecStart"
grep -q '^Environment=ORB_MACHINE_ROOT=/var/lib/vaultline-orb$' "$unit" || fail "unit machine root"
grep -q '^ReadWritePaths=\|^StateDirectory=vaultline-orb$' "$unit" || fail "unit: no writable machine root"
webunit="$tree/lib/systemd/system/vaultline-orbweb.service"
if command -v systemd-analyze >/dev/null; then
  # The sandbox: systemd's own rating of what each service may still do.
  for u in "$unit" "$webunit"; do
    exposure=$(systemd-analyze security --offline=yes --no-pager "$u" 2>&1 |
               sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
    [ -n "$exposure" ] || fail "systemd-analyze rated nothing for ${u##*/}"
    echo "${u##*/} exposure: $exposure"
    awk -v e="$exposure" 'BEGIN { exit !(e <= 5.0) }' || fail "${u##*/} exposure $exposure is above 5.0"
  done
else
  echo "(systemd-analyze is not installed: the units' exposure is not rated)"
fi
# The web console: program, static files, and a unit nothing enables.
for file in bin/orbweb share/orbweb/style.css share/orbweb/refresh.js; do
  grep -q " \.$prefix/$file\$" "$work/contents" || fail "$prefix/$file missing"
done
[ -f "$webunit" ] || fail "no orbweb unit"
grep -q "^ExecStart=$prefix/bin/orbweb --static-dir $prefix/share/orbweb \$ORBWEB_OPTIONS\$" "$webunit" ||
  fail "orbweb unit ExecStart"
! grep -q 'vaultline-orbweb' "$tree/DEBIAN/postinst" || fail "postinst enables orbweb"
"$tree$prefix/bin/orbweb" --help >/dev/null || fail "the packaged orbweb does not start"
for script in postinst prerm; do
  grep -qx "prefix=$prefix" "$tree/DEBIAN/$script" || fail "$script: prefix"
done
grep -qF '"$bin/orbf-install" install' "$tree/DEBIAN/postinst" || fail "postinst: install"
grep -qF '"$bin/orbf-install" uninstall' "$tree/DEBIAN/prerm" || fail "prerm: uninstall"
grep -qF 'systemctl try-restart "$unit"' "$tree/DEBIAN/postinst" || fail "postinst: no try-restart"
for script in postinst prerm postrm; do
  [ -x "$tree/DEBIAN/$script" ] || fail "$script is not executable"
  sh -n "$tree/DEBIAN/$script" || fail "$script does not parse"
done

# The maintainer scripts, as dpkg runs them for an installation into another
# root (DPKG_ROOT): the unpacked tree is that root, its machine root
# var/lib/vaultline-orb; the host's systemd is not touched.
bin="$tree$prefix/bin"
root="$tree/var/lib/vaultline-orb"
snmp='SYSTEM\CurrentControlSet\Services\SNMP'
export DPKG_ROOT="$tree" ORB_MACHINE_ROOT="$root" ORB_UI=batch ORB_DEBUG_OUTPUT=none MIBS=
maintainer() { sh "$tree/DEBIAN/$1" "${@:2}" >>"$work/scripts.log" 2>&1 || { cat "$work/scripts.log"; fail "$*"; }; }
snmphost_pid() { "$bin/regtool" query "$snmp" ProcessId 2>/dev/null | cut -f3; }
mkdir -p "$tree/etc/default"
echo 'SNMPHOST_OPTIONS="--listen udp:127.0.0.1:0"' >"$tree/etc/default/vaultline-snmphost"
# A machine with the sample backup server (from the documentation's examples)
# and the framework: the installer actions have what they need.
(umask 022 && mkdir -p "$root")
bash "$tree$examples/ebqry-sample-server.sh" "$bin" >/dev/null
orbmap='SOFTWARE\NorwindSystems\NW-Sentinex/Orb\Orbmap'
"$bin/regtool" set "$orbmap" Installed REG_DWORD 1 >/dev/null
snmp_stop() { "$bin/svcctl" stop SNMP >/dev/null 2>&1 || true; }

maintainer postinst configure
"$bin/regtool" query "$snmp" ImagePath | grep -qF "$bin/snmphost --listen udp:127.0.0.1:0" ||
  fail "postinst: the SNMP service does not run the package's snmphost"
if [ "$(id -u)" = 0 ]; then
  grep -q "PostInstall returned 0" "$work/scripts.log" || { cat "$work/scripts.log"; fail "PostInstall"; }
  [ "$("$bin/svcctl" query SNMP)" = RUNNING ] || fail "the SNMP service does not run"
else
  echo "(not the superuser: the installer actions refuse; the SNMP service is started here)"
  "$bin/svcctl" start SNMP >/dev/null
fi
# Everything of the machine is its owner's alone (directories 0700, files 0600).
loose=$(find "$root" \( -type d ! -perm 0700 \) -o \( -type f ! -perm 0600 \) -printf '%m %p\n')
[ -z "$loose" ] || fail "modes other than 0700 and 0600 in the machine root:"$'\n'"$loose"

# An upgrade restarts a running snmphost, even when the installer actions
# refuse (here: the framework has gone).
"$bin/regtool" delete "$orbmap" >/dev/null
before=$(snmphost_pid)
maintainer postinst configure 1.0.0
[ "$("$bin/svcctl" query SNMP)" = RUNNING ] || fail "upgrade: the SNMP service does not run"
[ -n "$before" ] && [ "$(snmphost_pid)" != "$before" ] || fail "upgrade: snmphost was not restarted"
"$bin/regtool" set "$orbmap" Installed REG_DWORD 1 >/dev/null

# Removal stops the service and leaves nothing pointing at the removed
# programs; the machine's data stays. A new installation finds the settings.
maintainer prerm remove
maintainer postrm remove
[ "$("$bin/svcctl" query SNMP)" = STOPPED ] || fail "remove: the SNMP service still runs"
if "$bin/regtool" query "$snmp" ImagePath >/dev/null 2>&1; then
  fail "remove: the SNMP service still runs the removed snmphost"
fi
[ -f "$root/registry.db" ] || fail "remove: the machine's data is gone"
if [ "$(id -u)" = 0 ] &&
   "$bin/regtool" query 'SOFTWARE\NorwindSystems\Lumora Vaultline Backup\OrbIntegration' >/dev/null 2>&1; then
  fail "remove: the integration is still registered"
fi
maintainer postinst configure
"$bin/regtool" query "$snmp" ImagePath | grep -qF "$bin/snmphost" || fail "reinstall: no snmphost"
maintainer prerm remove

# Purge removes the machine root the package made.
maintainer postrm purge
[ ! -e "$root" ] || fail "purge: the machine root is left"
echo "package ok"
