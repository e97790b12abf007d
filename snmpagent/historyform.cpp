// MIB_History: the watcher table (.12.1) and the form scalars (.12.2.0 to
// .12.16.0) through which a manager adds, deletes and edits watchers: it
// sets the fields, then a button.
#include <cstdio>
#include <cstring>

#include "snmpagent/handlers.h"
#include "snmpagent/oidtext.h"
#include "snmpagent/trace.h"
#include "snmpagent/values.h"
#include "snmpagent/watchers.h"
#include "snmpagent/watchertext.h"

namespace {

// The form's fields, kept for the life of the process.
struct HistoryForm {
    char addPath[kWatcherPathSize] = "";
    LONG addWarnTime = 3, addCritTime = 5, addWarnQuantum = 4, addCritQuantum = 4;
    char deletePath[kWatcherPathSize] = "";
    char editPath[kWatcherPathSize] = "";
    LONG editWarnTime = 0, editCritTime = 0, editWarnQuantum = 4, editCritQuantum = 4;
};

HistoryForm& form() {
    static HistoryForm instance;
    return instance;
}

// The worst status of the last check pass; starts OK.
LONG g_backupMaxStatus = 1;

enum Scalar {
    kUriAdd = 2,
    kWarnTimeAdd,
    kCritTimeAdd,
    kButtonAdd,
    kUriDel,
    kButtonDel,
    kUriEdit,
    kWarnTimeEdit,
    kCritTimeEdit,
    kButtonEdit,
    kMaxStatus,
    kWarnQuantumAdd,
    kCritQuantumAdd,
    kWarnQuantumEdit,
    kCritQuantumEdit,
};

constexpr UINT kTableArc = 11;  // the arc after .12: 1 for table cells

UINT getCell(UINT column, UINT row, SnmpVarBind* binding) {
    std::lock_guard<orb::CriticalSection> hold(historyLock());
    const WatcherEntry* w = watcherAt(row);
    if (!w) {
        agentTrace("MIB_History: Can not find history entry for indx\n");
        return SNMP_ERRORSTATUS_NOSUCHNAME;
    }
    agentTrace("MIB_History: Get request\n");
    switch (column) {
        case 1:
            return putText(binding, w->path);
        case 2:
            return putInteger(binding, w->warnTime);
        case 3:
            return putInteger(binding, w->critTime);
        case 4:
            return putInteger(binding, w->status);
        case 5:
            return putInteger(binding, w->warnQuantum);
        case 6:
            return putInteger(binding, w->critQuantum);
        default:
            return SNMP_ERRORSTATUS_NOSUCHNAME;
    }
}

UINT getScalar(UINT object, SnmpVarBind* binding) {
    const HistoryForm& f = form();
    switch (object) {
        case kUriAdd:
            return putText(binding, f.addPath);
        case kWarnTimeAdd:
            return putInteger(binding, f.addWarnTime);
        case kCritTimeAdd:
            return putInteger(binding, f.addCritTime);
        case kUriDel:
            return putText(binding, "");
        case kUriEdit:
            return putText(binding, f.editPath);
        case kWarnTimeEdit:
            return putInteger(binding, f.editWarnTime);
        case kCritTimeEdit:
            return putInteger(binding, f.editCritTime);
        case kMaxStatus:
            return putInteger(binding, historyMaxStatus());
        case kWarnQuantumAdd:
            return putInteger(binding, f.addWarnQuantum);
        case kCritQuantumAdd:
            return putInteger(binding, f.addCritQuantum);
        case kWarnQuantumEdit:
            return putInteger(binding, f.editWarnQuantum);
        case kCritQuantumEdit:
            return putInteger(binding, f.editCritQuantum);
        default:
            return putInteger(binding, 0);  // the buttons
    }
}

// A change the registry did not take is not made: the manager learns it
// failed, and the table stays what a restart would load.
UINT saved(LONG rc) {
    if (rc == ERROR_SUCCESS) return SNMP_ERRORSTATUS_NOERROR;
    agentTrace("MIB_History: the watchers could not be saved [%d]\n", static_cast<int>(rc));
    return SNMP_ERRORSTATUS_COMMITFAILED;
}

void copyLimits(WatcherEntry* to, const WatcherEntry& from) {
    to->warnTime = from.warnTime;
    to->warnQuantum = from.warnQuantum;
    to->critTime = from.critTime;
    to->critQuantum = from.critQuantum;
    to->status = from.status;
}

// The form's limits into entry; false (traced) when the warning limit lies
// beyond the critical one.
bool takeLimits(const char* button, LONG warnTime, LONG warnQuantum, LONG critTime,
                LONG critQuantum, WatcherEntry* entry) {
    entry->warnTime = warnTime;
    entry->warnQuantum = warnQuantum;
    entry->critTime = critTime;
    entry->critQuantum = critQuantum;
    if (watcherLimitsValid(*entry)) return true;
    agentTrace("MIB_History: %s refused: the warning limit lies beyond the critical one\n", button);
    return false;
}

UINT addWatcher() {
    const HistoryForm& f = form();
    WatcherEntry entry{};
    memcpy(entry.path, f.addPath, sizeof entry.path);  // same size, terminated
    if (!takeLimits("Add", f.addWarnTime, f.addWarnQuantum, f.addCritTime, f.addCritQuantum,
                    &entry))
        return SNMP_ERRORSTATUS_BADVALUE;
    agentTrace(
        "MIB_History: lebCehckBackupDate URI=\"%s\", warnT=%d, warnQ=%d, critT=%d, "
        "critQ=%d\n",
        entry.path, static_cast<int>(entry.warnTime), static_cast<int>(entry.warnQuantum),
        static_cast<int>(entry.critTime), static_cast<int>(entry.critQuantum));
    checkWatcher(&entry);
    std::lock_guard<orb::CriticalSection> hold(historyLock());
    if (findWatcher(entry.path)) {
        agentTrace("MIB_History: Add refused: URI=\"%s\" is watched already\n", entry.path);
        return SNMP_ERRORSTATUS_BADVALUE;
    }
    if (watcherList().count >= kMaxWatchers) {
        agentTrace("MIB_History: Add refused: %d watchers is the most\n",
                   static_cast<int>(kMaxWatchers));
        return SNMP_ERRORSTATUS_BADVALUE;
    }
    const UINT rc = saved(storeWatcherList(&entry, nullptr));
    if (rc == SNMP_ERRORSTATUS_NOERROR) historyInsert(entry);
    return rc;
}

// The delete path is cleared whatever happens: it names one deletion.
UINT deleteWatcher() {
    std::lock_guard<orb::CriticalSection> hold(historyLock());
    char path[kWatcherPathSize];
    memcpy(path, form().deletePath, sizeof path);
    form().deletePath[0] = '\0';
    const WatcherEntry* w = findWatcher(path);
    if (!w) {
        agentTrace("MIB_History: Delete Entry URI=\"%s\" NOT FOUND\n", path);
        return SNMP_ERRORSTATUS_BADVALUE;
    }
    const UINT rc = saved(storeWatcherList(nullptr, w));
    if (rc == SNMP_ERRORSTATUS_NOERROR) historyDelete(path);
    return rc;
}

UINT editWatcher() {
    const HistoryForm& f = form();
    std::lock_guard<orb::CriticalSection> hold(historyLock());
    WatcherEntry* w = findWatcher(f.editPath);
    if (!w) {
        agentTrace("MIB_History: Edit Entry URI=\"%s\" NOT FOUND\n", f.editPath);
        return SNMP_ERRORSTATUS_GENERR;
    }
    WatcherEntry edited{};
    if (!takeLimits("Edit", f.editWarnTime, f.editWarnQuantum, f.editCritTime, f.editCritQuantum,
                    &edited))
        return SNMP_ERRORSTATUS_BADVALUE;
    WatcherEntry before{};
    copyLimits(&before, *w);
    copyLimits(w, edited);
    agentTrace("MIB_History: lebCheckBackupDate URI=\"%s\", warnTime=%d, critTime=%d\n", w->path,
               static_cast<int>(w->warnTime), static_cast<int>(w->critTime));
    checkWatcher(w);
    const UINT rc = saved(rebuildWatcherList());
    if (rc != SNMP_ERRORSTATUS_NOERROR) copyLimits(w, before);
    return rc;
}

// A count of quanta below zero names no age.
UINT takeTime(const SnmpVarBind* binding, LONG* target) {
    LONG value = 0;
    const UINT rc = takeInteger(binding, &value);
    if (rc != SNMP_ERRORSTATUS_NOERROR) return rc;
    if (value < 0) return SNMP_ERRORSTATUS_BADVALUE;
    *target = value;
    return SNMP_ERRORSTATUS_NOERROR;
}

// A quantum outside the five codes has no length: refused.
UINT takeQuantum(const SnmpVarBind* binding, LONG* target) {
    LONG value = 0;
    const UINT rc = takeInteger(binding, &value);
    if (rc != SNMP_ERRORSTATUS_NOERROR) return rc;
    int64_t unused = 0;
    if (!quantumSeconds(value, &unused)) return SNMP_ERRORSTATUS_BADVALUE;
    *target = value;
    return SNMP_ERRORSTATUS_NOERROR;
}

// A path that would not read back from the registry as it was set (it holds
// a quote or a NUL byte) is refused, and the field keeps its text.
UINT takePath(const SnmpVarBind* binding, char* target, size_t targetSize) {
    char text[kWatcherPathSize];
    const UINT rc = takeText(binding, text, sizeof text);
    if (rc != SNMP_ERRORSTATUS_NOERROR) return rc;
    const AsnOctetString& value = binding->value.asnValue.string;
    if (!storableWatcherPath(reinterpret_cast<const char*>(value.stream), value.length)) {
        agentTrace("MIB_History: path refused: it holds a quote or a NUL byte\n");
        return SNMP_ERRORSTATUS_BADVALUE;
    }
    snprintf(target, targetSize, "%s", text);
    return SNMP_ERRORSTATUS_NOERROR;
}

UINT setScalar(UINT object, const SnmpVarBind* binding) {
    HistoryForm& f = form();
    switch (object) {
        case kUriAdd:
            return takePath(binding, f.addPath, sizeof f.addPath);
        case kWarnTimeAdd:
            return takeTime(binding, &f.addWarnTime);
        case kCritTimeAdd:
            return takeTime(binding, &f.addCritTime);
        case kButtonAdd:
            return addWatcher();
        case kUriDel:
            return takePath(binding, f.deletePath, sizeof f.deletePath);
        case kButtonDel:
            return deleteWatcher();
        case kUriEdit:
            return takePath(binding, f.editPath, sizeof f.editPath);
        case kWarnTimeEdit:
            return takeTime(binding, &f.editWarnTime);
        case kCritTimeEdit:
            return takeTime(binding, &f.editCritTime);
        case kButtonEdit:
            return editWatcher();
        case kMaxStatus:
            return SNMP_ERRORSTATUS_NOERROR;
        case kWarnQuantumAdd:
            return takeQuantum(binding, &f.addWarnQuantum);
        case kCritQuantumAdd:
            return takeQuantum(binding, &f.addCritQuantum);
        case kWarnQuantumEdit:
            return takeQuantum(binding, &f.editWarnQuantum);
        case kCritQuantumEdit:
            return takeQuantum(binding, &f.editCritQuantum);
        default:
            return SNMP_ERRORSTATUS_NOSUCHNAME;
    }
}

}  // namespace

LONG historyMaxStatus() {
    std::lock_guard<orb::CriticalSection> hold(historyLock());
    return g_backupMaxStatus;
}

void setHistoryMaxStatus(LONG status) {
    std::lock_guard<orb::CriticalSection> hold(historyLock());
    g_backupMaxStatus = status;
}

UINT MIB_History(BYTE requestType, const MibEntry*, SnmpVarBind* binding) {
    char oidText[kRequestOidTextSize] = "";
    if (agentTracing()) renderOidText(binding->name, oidText, sizeof oidText);
    agentTrace("MIB_History: Entered, Action=%d, OID=%s\n", requestType, oidText);
    const AsnObjectIdentifier& name = binding->name;
    if (name.idLength <= kTableArc || name.idLength < 2) return SNMP_ERRORSTATUS_NOSUCHNAME;
    const UINT object = name.ids[name.idLength - 2];
    const UINT instance = name.ids[name.idLength - 1];
    if (name.ids[kTableArc] == 1) {
        if (requestType != SNMP_PDU_GET) {
            agentTrace("MIB_History: Action not allowed\n");
            return SNMP_ERRORSTATUS_GENERR;
        }
        return getCell(object, instance, binding);
    }
    if (instance != 0) {
        agentTrace("MIB_History: Indx must be zero\n");
        return SNMP_ERRORSTATUS_NOSUCHNAME;
    }
    agentTrace("MIB_History: Get request\n");
    if (requestType == SNMP_PDU_GET) return getScalar(object, binding);
    if (requestType == SNMP_PDU_SET) return setScalar(object, binding);
    return SNMP_ERRORSTATUS_GENERR;
}
