// A record table: rows by identifier, cells registered and answered by
// position, the table thrown away whole.
#include "snmpagent/recordtable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "snmpagent/mibtree.h"
#include "tests/snmpagent/agent_harness.h"

namespace {

constexpr const char* kBase = ".1.3.6.1.4.1.58231.2.12.9.77";

UINT answerNothing(BYTE, const MibEntry*, SnmpVarBind*) { return SNMP_ERRORSTATUS_GENERR; }

const MibEntry kEntry = {".1.1.x.x", ASN_OCTETSTRING, kMibReadOnly, answerNothing,
                         0,          nullptr,         nullptr};
constexpr TableColumn kColumns[] = {{16, ColumnEncoding::kInt32},
                                    {20, ColumnEncoding::kInt16},
                                    {24, ColumnEncoding::kTime},
                                    {28, ColumnEncoding::kText}};
const TableSpec kSpec = {
    "testInsert", "MIB_Test", "MIB_Test: Can not find entry\n", kBase, &kEntry, 40, kColumns, 4};

struct Record {
    BYTE bytes[40] = {};
    Record(int32_t identifier, int16_t small, const char* text) {
        memcpy(bytes + 16, &identifier, 4);
        memcpy(bytes + 20, &small, 2);
        const DWORD when = (28u << 25) | (4u << 21) | (29u << 16) | (9u << 11) | (5u << 5) | 3u;
        memcpy(bytes + 24, &when, 4);
        memcpy(bytes + 28, text, std::min<size_t>(strlen(text), 12));  // may fill the field
    }
};

class TableTest : public testing::Test {
  protected:
    void TearDown() override { table_.clear(); }
    std::string cell(int column, int row) {
        return std::string(kBase) + ".1.1." + std::to_string(column) + "." + std::to_string(row);
    }
    UINT get(agenttest::Request& request, BYTE type = SNMP_PDU_GET) {
        return table_.answer(type, &request.list().list[0]);
    }
    RecordTable table_{kSpec};
};

TEST_F(TableTest, DuplicateIdentifiersAreDroppedAndRowsNumberedByPosition) {
    EXPECT_EQ(table_.insert(Record(7, -2, "first").bytes), 0);
    EXPECT_EQ(table_.insert(Record(9, 3, "twelve chars").bytes), 0);
    EXPECT_EQ(table_.insert(Record(7, 5, "again").bytes), 17);
    EXPECT_EQ(table_.rowCount(), 2);

    const MibEntry* entry = nullptr;
    EXPECT_EQ(mibGet(cell(1, 1).c_str(), &entry), 0);
    EXPECT_EQ(mibGet(cell(4, 1).c_str(), &entry), 0);
    EXPECT_EQ(mibGet(cell(1, 2).c_str(), &entry), 2);
    EXPECT_EQ(mibGet(cell(5, 0).c_str(), &entry), 2);

    agenttest::Request id0({cell(1, 0)}), id1({cell(1, 1)}), small({cell(2, 0)}),
        when({cell(3, 0)}), text({cell(4, 1)});
    EXPECT_EQ(get(id0), 0u);
    EXPECT_EQ(id0.number(0), 7);
    EXPECT_EQ(get(id1), 0u);
    EXPECT_EQ(id1.number(0), 9);
    EXPECT_EQ(get(small), 0u);
    EXPECT_EQ(small.number(0), -2);  // sign-extended
    EXPECT_EQ(get(when), 0u);
    EXPECT_EQ(when.text(0), "4/29/08 9:05:06");
    EXPECT_EQ(get(text), 0u);
    EXPECT_EQ(text.text(0), "twelve chars");  // unterminated: ends with the record
}

TEST_F(TableTest, SetIsRefusedAndVanishedRowsAnswerNoSuchName) {
    table_.insert(Record(1, 0, "a").bytes);
    agenttest::Request set({cell(1, 0)});
    set.setInteger(0, 5);
    EXPECT_EQ(get(set, SNMP_PDU_SET), static_cast<UINT>(SNMP_ERRORSTATUS_GENERR));

    agenttest::Request beyond({cell(1, 3)});
    EXPECT_EQ(get(beyond), static_cast<UINT>(SNMP_ERRORSTATUS_NOSUCHNAME));

    table_.clear();
    const MibEntry* entry = nullptr;
    EXPECT_EQ(mibGet(cell(1, 0).c_str(), &entry), 2);
    agenttest::Request gone({cell(1, 0)});
    EXPECT_EQ(get(gone), static_cast<UINT>(SNMP_ERRORSTATUS_NOSUCHNAME));

    // Refilled after the clearing, numbering starts again at 0.
    table_.insert(Record(4, 0, "b").bytes);
    EXPECT_EQ(mibGet(cell(1, 0).c_str(), &entry), 0);
    agenttest::Request again({cell(1, 0)});
    EXPECT_EQ(get(again), 0u);
    EXPECT_EQ(again.number(0), 4);
}

}  // namespace
