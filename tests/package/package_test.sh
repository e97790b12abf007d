#!/usr/bin/env bash
# package_test.sh BUILD_DIR PREFIX: builds the .deb into a private folder,
# checks it with dpkg-deb, unpacks it there and installs the integration from
# the unpacked programs on a private machine root.
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

dpkg-deb --raw-extract "$deb" "$work/tree"
unit="$work/tree/lib/systemd/system/vaultline-snmphost.service"
[ -f "$unit" ] || fail "no systemd unit"
grep -q "^ExecStart=$prefix/bin/snmphost \$SNMPHOST_OPTIONS\$" "$unit" || fail "unit ExecStart"
grep -q '^Environment=ORB_MACHINE_ROOT=/var/lib/vaultline-orb$' "$unit" || fail "unit machine root"
# The web console: program, static files, and a unit nothing enables.
for file in bin/orbweb share/orbweb/style.css share/orbweb/refresh.js; do
  grep -q " \.$prefix/$file\$" "$work/contents" || fail "$prefix/$file missing"
done
webunit="$work/tree/lib/systemd/system/vaultline-orbweb.service"
[ -f "$webunit" ] || fail "no orbweb unit"
grep -q "^ExecStart=$prefix/bin/orbweb --static-dir $prefix/share/orbweb \$ORBWEB_OPTIONS\$" "$webunit" ||
  fail "orbweb unit ExecStart"
! grep -q 'vaultline-orbweb' "$work/tree/DEBIAN/postinst" || fail "postinst enables orbweb"
"$work/tree$prefix/bin/orbweb" --help >/dev/null || fail "the packaged orbweb does not start"
for script in postinst prerm; do
  grep -qx "prefix=$prefix" "$work/tree/DEBIAN/$script" || fail "$script: prefix"
done
grep -qF '"$prefix/bin/orbf-install" install' "$work/tree/DEBIAN/postinst" || fail "postinst: install"
grep -qF '"$prefix/bin/orbf-install" uninstall' "$work/tree/DEBIAN/prerm" || fail "prerm: uninstall"
for script in postinst prerm postrm; do
  [ -x "$work/tree/DEBIAN/$script" ] || fail "$script is not executable"
  sh -n "$work/tree/DEBIAN/$script" || fail "$script does not parse"
done

# The unpacked programs work from their own folder: the integration goes onto
# a private machine with the sample backup server.
bin="$work/tree$prefix/bin"
export ORB_MACHINE_ROOT="$work/machine" ORB_UI=batch ORB_DEBUG_OUTPUT=none MIBS=
mkdir -p "$ORB_MACHINE_ROOT"
bash "$bin/ebqry-sample-server.sh" "$bin" >/dev/null
"$bin/regtool" set 'SOFTWARE\NorwindSystems\NW-Sentinex/Orb\Orbmap' Installed REG_DWORD 1 >/dev/null
"$bin/svcctl" create SNMP --command "$bin/snmphost --listen udp:127.0.0.1:0"
snmp_stop() { "$bin/svcctl" stop SNMP >/dev/null 2>&1 || true; }
if [ "$(id -u)" = 0 ]; then
  "$bin/orbf-install" install UILevel=2 >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "orbf-install install"; }
  grep -q "PostInstall returned 0" "$work/install.log" || fail "PostInstall"
  [ "$("$bin/svcctl" query SNMP)" = RUNNING ] || fail "the SNMP service does not run"
  "$bin/orbf-install" uninstall >"$work/uninstall.log" 2>&1 || { cat "$work/uninstall.log"; fail "orbf-install uninstall"; }
else
  echo "(not the superuser: the installer actions refuse, skipped)"
fi
echo "package ok"
