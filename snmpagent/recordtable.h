// One read-only MIB table whose rows are byte copies of records from the
// backup server. Rows are only appended and only removed all at once, so a
// row's number is its position; an index by position keeps a cell lookup
// constant-time, so a walk of an n-row table costs n registry steps, not n^2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "platform/sync.h"
#include "snmpagent/agentlist.h"
#include "snmpagent/mibentry.h"

enum class ColumnEncoding { kInt32, kInt16, kText, kTime };

struct TableColumn {
    size_t offset;
    ColumnEncoding encoding;
};

// What differs between the tables: names, texts, layout.
struct TableSpec {
    const char* insertName;    // "jobsInsert": prefix of the insert trace lines
    const char* handlerName;   // "MIB_Jobs": prefix of the handler trace lines
    const char* notFoundLine;  // the handler's line for a vanished row
    const char* baseText;      // full OID text of the table
    const MibEntry* entry;     // the entry registered for every cell
    size_t recordSize;
    const TableColumn* columns;
    int columnCount;
};

class RecordTable {
  public:
    explicit RecordTable(const TableSpec& layout) : spec_(layout) {}
    ~RecordTable();
    RecordTable(const RecordTable&) = delete;
    RecordTable& operator=(const RecordTable&) = delete;

    // Frees every row and removes the table's cells from the OID registry.
    void clear();
    // Appends a copy of the record and registers its cells: 17 when a row
    // with its identifier exists, else the last registration's result.
    int insert(const BYTE* record);
    // Answers one binding naming a cell (GET only); an SNMP error status.
    UINT answer(BYTE requestType, SnmpVarBind* binding);
    LONG rowCount();

  private:
    struct Row {
        AgentListLink link;
        BYTE record[1];
    };
    void freeRows();
    UINT putCell(const BYTE* record, int column, SnmpVarBind* binding) const;

    const TableSpec& spec_;
    orb::CriticalSection lock_;
    AgentList rows_{};
    std::vector<Row*> byPosition_;
    std::unordered_set<int32_t> identifiers_;
};

// The identifier of a record: the 32-bit field at offset 16.
int32_t recordIdentifier(const BYTE* record);
