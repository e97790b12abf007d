#include "snmpagent/registration.h"

#include "snmpagent/agentroot.h"
#include "snmpagent/handlers.h"
#include "snmpagent/mibtree.h"
#include "snmpagent/oidtext.h"
#include "snmpagent/trace.h"

namespace {

// Stop order, then start order: the database engine goes first either way.
constexpr const char* kStopList =
    "NWSDBEngine,NWSJobEngine,NWSMsgEngine,NWSTapeEngine,NWSDiscoverySvc,NWSUnivDomainSvr,"
    "NWSSvcControlSvr,NWTIRPC";
constexpr const char* kStartList =
    "NWSDBEngine,NWSJobEngine,NWSMsgEngine,NWSTapeEngine,NWSDiscoverySvc,NWSSvcControlSvr,"
    "NWSUnivDomainSvr,NWTIRPC";

constexpr MibEntry text(const char* suffix, MibFunction function, const char* value,
                        DWORD access = kMibReadOnly) {
    return MibEntry{suffix, ASN_OCTETSTRING, access, function, 0, value, nullptr};
}

constexpr MibEntry serviceSwitch(const char* suffix, MibFunction function, const char* list) {
    return MibEntry{suffix, ASN_INTEGER, kMibReadWrite, function, 0, nullptr, list};
}

// The suffix of `entry` appended to the agent root, as full text with a
// leading dot; false when the suffix is no OID or the text does not fit.
bool fullOidText(const MibEntry& entry, char* text, size_t size) {
    AsnObjectIdentifier oid{};
    AsnObjectIdentifier suffix{};
    const AsnObjectIdentifier root{kAgentRootLength, g_agentRoot};
    const bool ok = SnmpUtilOidCpy(&oid, &root) == SNMPAPI_NOERROR &&
                    SnmpMgrStrToOid(entry.suffix, &suffix) == TRUE &&
                    SnmpUtilOidAppend(&oid, &suffix) == SNMPAPI_NOERROR &&
                    renderOidText(oid, text, size);
    SnmpUtilOidFree(&suffix);
    SnmpUtilOidFree(&oid);
    return ok;
}

}  // namespace

const MibEntry kMibTable[kMibTableRows] = {
    text(".3.1.0", MIB_StaticValue, "Agent is Active"),
    text(".3.2.0", MIB_StaticValue, "01.00.1"),
    serviceSwitch(".6.1.0", MIB_ShutdownService, kStopList),
    serviceSwitch(".6.2.0", MIB_StartupService, kStartList),
    text(".7.1.0", MIB_ServiceStatus, "NWSDBEngine"),
    text(".7.2.0", MIB_ServiceStatus, "NWSDiscoverySvc"),
    text(".7.3.0", MIB_ServiceStatus, "NWSJobEngine"),
    text(".7.4.0", MIB_ServiceStatus, "NWSMsgEngine"),
    text(".7.5.0", MIB_ServiceStatus, "NWSSvcControlSvr"),
    text(".7.6.0", MIB_ServiceStatus, "NWSTapeEngine"),
    text(".7.7.0", MIB_ServiceStatus, "NWSUnivDomainSvr"),
    text(".7.8.0", MIB_ServiceStatus, "NWTIRPC"),
    text(".12.2.0", MIB_History, "BackupHistoryURIAdd", kMibReadWrite),
    text(".12.3.0", MIB_History, "BackupHistoryWarnTimeAdd", kMibReadWrite),
    text(".12.4.0", MIB_History, "BackupHistoryCritTimeAdd", kMibReadWrite),
    text(".12.5.0", MIB_History, "BackupButtonAdd", kMibReadWrite),
    text(".12.6.0", MIB_History, "BackupHistoryURIDel", kMibReadWrite),
    text(".12.7.0", MIB_History, "BackupButtonDel", kMibReadWrite),
    text(".12.8.0", MIB_History, "BackupHistoryURIEdit", kMibReadWrite),
    text(".12.9.0", MIB_History, "BackupHistoryWarnTimeEdit", kMibReadWrite),
    text(".12.10.0", MIB_History, "BackupHistoryCritTimeEdit", kMibReadWrite),
    text(".12.11.0", MIB_History, "BackupButtonEdit", kMibReadWrite),
    text(".12.12.0", MIB_History, "BackupMaxStatus", kMibReadWrite),
    text(".12.13.0", MIB_History, "BackupWarnQuantumAdd", kMibReadWrite),
    text(".12.14.0", MIB_History, "BackupCritQuantumAdd", kMibReadWrite),
    text(".12.15.0", MIB_History, "BackupWarnQuantumEdit", kMibReadWrite),
    text(".12.16.0", MIB_History, "BackupCritQuantumEdit", kMibReadWrite),
};

const MibEntry kJobsEntry = text(".1.1.x.x", MIB_Jobs, nullptr);
const MibEntry kMediaEntry = text(".1.1.x.x", MIB_Media, nullptr);
const MibEntry kTapeDrvsEntry = text(".1.1.x.x", MIB_TapeDrvs, nullptr);
const MibEntry kHistoryEntry = text(".1.1.x.x", MIB_History, nullptr);

void registerMibTable() {
    for (const MibEntry& entry : kMibTable) {
        char oidText[kMibOidTextSize];
        if (!fullOidText(entry, oidText, sizeof oidText)) continue;
        agentTrace("SnmpExtensionInit: Inserting MIB OID=%s\n", oidText);
        mibInsert(oidText, &entry);
    }
}
