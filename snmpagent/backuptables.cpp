#include "snmpagent/backuptables.h"

#include "snmpagent/handlers.h"
#include "snmpagent/registration.h"

namespace {

using E = ColumnEncoding;

// JobRecord (object type 1, 200 bytes).
constexpr TableColumn kJobColumns[] = {
    {16, E::kInt32}, {20, E::kInt16}, {22, E::kInt16}, {24, E::kTime},  {28, E::kTime},
    {32, E::kText},  {64, E::kText},  {164, E::kText}, {180, E::kText}, {192, E::kInt32},
};

// MediaRecord (object type 2, 328 bytes).
constexpr TableColumn kMediaColumns[] = {
    {16, E::kInt32},  {20, E::kInt16},  {22, E::kInt16}, {24, E::kText},   {48, E::kInt16},
    {52, E::kInt16},  {64, E::kTime},   {88, E::kInt32}, {100, E::kInt32}, {116, E::kInt32},
    {128, E::kInt32}, {136, E::kText},  {152, E::kText}, {184, E::kInt16}, {190, E::kInt16},
    {192, E::kTime},  {196, E::kInt32},
};

// TapeDriveRecord (object type 7, 216 bytes). Column 15 sits at offset 192,
// out of offset order: the server added it after the record was laid out.
constexpr TableColumn kTapeDriveColumns[] = {
    {16, E::kInt32}, {20, E::kInt16}, {22, E::kInt16},  {24, E::kInt16}, {26, E::kInt16},
    {28, E::kInt16}, {30, E::kInt16}, {32, E::kText},   {50, E::kText},  {66, E::kText},
    {76, E::kInt32}, {80, E::kTime},  {84, E::kInt32},  {88, E::kInt32}, {192, E::kInt32},
    {92, E::kInt32}, {96, E::kInt32}, {100, E::kInt32}, {108, E::kText},
};

template <size_t N>
constexpr int countOf(const TableColumn (&)[N]) {
    return static_cast<int>(N);
}

const TableSpec kJobsSpec = {"jobsInsert",
                             "MIB_Jobs",
                             "MIB_Jobs: Can not find job entry for indx\n",
                             ".1.3.6.1.4.1.58231.2.12.9.9",
                             &kJobsEntry,
                             200,
                             kJobColumns,
                             countOf(kJobColumns)};
const TableSpec kMediaSpec = {"mediaInsert",
                              "MIB_Media",
                              "MIB_Media: Can not find media entry for indx\n",
                              ".1.3.6.1.4.1.58231.2.12.9.10",
                              &kMediaEntry,
                              328,
                              kMediaColumns,
                              countOf(kMediaColumns)};
const TableSpec kTapeDrivesSpec = {"tdrvsInsert",
                                   "MIB_TapeDrvs",
                                   "MIB_TapeDrvs: Can not find tdrv entry for indx\n",
                                   ".1.3.6.1.4.1.58231.2.12.9.11",
                                   &kTapeDrvsEntry,
                                   216,
                                   kTapeDriveColumns,
                                   countOf(kTapeDriveColumns)};

}  // namespace

// The tables are never destroyed: a worker thread may still use one while
// the process ends.
RecordTable& jobsTableRows() {
    static RecordTable* table = new RecordTable(kJobsSpec);
    return *table;
}

RecordTable& mediaTableRows() {
    static RecordTable* table = new RecordTable(kMediaSpec);
    return *table;
}

RecordTable& tdrvsTableRows() {
    static RecordTable* table = new RecordTable(kTapeDrivesSpec);
    return *table;
}

int jobsInsert(const BYTE* record) { return jobsTableRows().insert(record); }

int mediaInsert(const BYTE* record) { return mediaTableRows().insert(record); }

int tdrvsInsert(const BYTE* record) { return tdrvsTableRows().insert(record); }

UINT MIB_Jobs(BYTE requestType, const MibEntry*, SnmpVarBind* binding) {
    return jobsTableRows().answer(requestType, binding);
}

UINT MIB_Media(BYTE requestType, const MibEntry*, SnmpVarBind* binding) {
    return mediaTableRows().answer(requestType, binding);
}

UINT MIB_TapeDrvs(BYTE requestType, const MibEntry*, SnmpVarBind* binding) {
    return tdrvsTableRows().answer(requestType, binding);
}
