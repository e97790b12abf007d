#include "snmpagent/recordtable.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "snmpagent/mibtree.h"
#include "snmpagent/oidtext.h"
#include "snmpagent/trace.h"
#include "snmpagent/values.h"

namespace {

constexpr size_t kIdentifierOffset = 16;
constexpr int kDuplicateRow = 17;

template <typename T>
T fieldAt(const BYTE* record, size_t offset) {
    T value;
    memcpy(&value, record + offset, sizeof value);
    return value;
}

}  // namespace

int32_t recordIdentifier(const BYTE* record) { return fieldAt<int32_t>(record, kIdentifierOffset); }

RecordTable::~RecordTable() { freeRows(); }

void RecordTable::freeRows() {
    while (rows_.head) {
        AgentListLink* link = rows_.head;
        listUnlink(&rows_, link);
        free(link);
    }
    byPosition_.clear();
    identifiers_.clear();
}

void RecordTable::clear() {
    std::lock_guard<orb::CriticalSection> hold(lock_);
    if (rows_.count == 0) return;
    freeRows();
    mibRemove(spec_.baseText);
}

LONG RecordTable::rowCount() {
    std::lock_guard<orb::CriticalSection> hold(lock_);
    return rows_.count;
}

int RecordTable::insert(const BYTE* record) {
    std::lock_guard<orb::CriticalSection> hold(lock_);
    const int32_t identifier = recordIdentifier(record);
    if (identifiers_.count(identifier)) return kDuplicateRow;
    auto* row = static_cast<Row*>(malloc(offsetof(Row, record) + spec_.recordSize));
    if (!row) return ENOMEM;
    memcpy(row->record, record, spec_.recordSize);
    try {
        byPosition_.push_back(row);
        identifiers_.insert(identifier);
    } catch (...) {
        if (byPosition_.size() > static_cast<size_t>(rows_.count)) byPosition_.pop_back();
        free(row);
        return ENOMEM;
    }
    listAppend(&rows_, &row->link);
    const int rowNumber = rows_.count - 1;
    int rc = 0;
    for (int column = 1; column <= spec_.columnCount; ++column) {
        char oidText[kMibOidTextSize];
        snprintf(oidText, sizeof oidText, "%s.1.1.%d.%d", spec_.baseText, column, rowNumber);
        agentTrace("%s: Inserting OID=%s\n", spec_.insertName, oidText);
        rc = mibInsert(oidText, spec_.entry);
    }
    return rc;
}

UINT RecordTable::putCell(const BYTE* record, int column, SnmpVarBind* binding) const {
    if (column < 1 || column > spec_.columnCount) return SNMP_ERRORSTATUS_GENERR;
    const TableColumn& layout = spec_.columns[column - 1];
    switch (layout.encoding) {
        case ColumnEncoding::kInt32:
            return putInteger(binding, fieldAt<int32_t>(record, layout.offset));
        case ColumnEncoding::kInt16:
            return putInteger(binding, fieldAt<int16_t>(record, layout.offset));
        case ColumnEncoding::kTime:
            return putTimestamp(binding, fieldAt<uint32_t>(record, layout.offset));
        case ColumnEncoding::kText: {
            // A text without its terminator ends at the record's end.
            const char* start = reinterpret_cast<const char*>(record + layout.offset);
            const std::string text(start, strnlen(start, spec_.recordSize - layout.offset));
            return putText(binding, text.c_str());
        }
    }
    return SNMP_ERRORSTATUS_GENERR;
}

UINT RecordTable::answer(BYTE requestType, SnmpVarBind* binding) {
    char oidText[kRequestOidTextSize] = "";
    if (agentTracing()) renderOidText(binding->name, oidText, sizeof oidText);
    const AsnObjectIdentifier& name = binding->name;
    const int column = name.idLength >= 2 ? static_cast<int>(name.ids[name.idLength - 2]) : 0;
    const UINT row = name.idLength >= 1 ? name.ids[name.idLength - 1] : 0;
    agentTrace("%s: Entered, Action=%d, OID=%s Prop=%d, Indx=%d\n", spec_.handlerName, requestType,
               oidText, column, static_cast<int>(row));
    if (requestType != SNMP_PDU_GET) {
        agentTrace("%s: Action not allowed\n", spec_.handlerName);
        return SNMP_ERRORSTATUS_GENERR;
    }
    // The value is taken under the lock, so a collector clearing the table
    // cannot free the row under the handler.
    std::lock_guard<orb::CriticalSection> hold(lock_);
    if (row >= byPosition_.size()) {
        agentTrace("%s", spec_.notFoundLine);
        return SNMP_ERRORSTATUS_NOSUCHNAME;
    }
    agentTrace("%s: Get request\n", spec_.handlerName);
    return putCell(byPosition_[row]->record, column, binding);
}
