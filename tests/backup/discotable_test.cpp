// The discovery table's format and its file: what a line must hold, what a
// bad line costs (only itself), and that writers never lose a line.
#include "backup/discotable/discotable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/platform/scratch_dir.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

disco::Server MakeServer(const std::string& name, uint32_t owner = 24) {
    disco::Server s;
    s.name = name;
    s.domain = "ACME";
    s.owner = owner;
    s.address = {10, 0, 0, 7};
    s.release = 9;
    s.products = {65, 70};
    return s;
}

TEST(DiscoTableParse, BadLinesAreSkippedWithTheirNumberAndTheRestServes) {
    const std::string text =
        "# comment\r\n"
        "\n"
        "SRV1 ACME 24 10.1.2.3 9 65,66\r\n"       // 3: CRLF file
        "SRV2\tACME\t85\t10.1.2.4\t12\n"          // 4: products left off
        "SRV3 ACME 24 10.1.2.300 9 65\n"          // 5
        "SRV4 ACME 24 10.1.2 9 65\n"              // 6
        "SRV5 ACME 24 10.1.2.3.4 9 65\n"          // 7
        "SRV6 ACME -1 10.1.2.3 9 65\n"            // 8
        "SRV7 ACME 24 10.1.2.3 256 65\n"          // 9
        "SRV8 ACME 24 10.1.2.3 9 65,,66\n"        // 10
        "SIXTEEN_CHARS_XX ACME 24 1.2.3.4 9 -\n"  // 11
        "SRV9 ACME 24 1.2.3.4 9 - extra\n"        // 12
        "SRV10 ACME 4294967296 1.2.3.4 9 -\n"     // 13
        "SRV11 ACME 4294967295 255.255.255.255 255 -\n";
    disco::Table table = disco::ParseTable(text);

    ASSERT_EQ(table.servers.size(), 3u);
    EXPECT_EQ(table.servers[0].name, "SRV1");
    EXPECT_EQ(table.servers[0].products, (std::vector<uint32_t>{65, 66}));
    EXPECT_EQ(table.servers[1].owner, 85u);
    EXPECT_EQ(table.servers[1].release, 12);
    EXPECT_TRUE(table.servers[1].products.empty());
    EXPECT_EQ(table.servers[2].owner, 4294967295u);
    EXPECT_EQ(table.servers[2].release, 255);

    std::vector<size_t> lines;
    for (const disco::Problem& p : table.problems) lines.push_back(p.line);
    EXPECT_EQ(lines, (std::vector<size_t>{5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_NE(table.problems[6].reason.find("longer than 15"), std::string::npos);
    EXPECT_EQ(disco::ProblemText("t.tbl", table.problems[0]).rfind("t.tbl line 5 skipped: ", 0),
              0u);
}

TEST(DiscoTableParse, AHugeFieldIsQuotedOnlyInPart) {
    const std::string huge(100000, 'N');
    const std::string text = huge + " ACME 24 1.2.3.4 9 -\n" +   // name
                             "SRV ACME " + huge + " 1.2.3.4 9 -\n" +  // owner
                             "SRV ACME 24 " + huge + " 9 -\n" +      // address
                             "SRV ACME 24 1.2.3.4 " + huge + " -\n" +  // release
                             "SRV ACME 24 1.2.3.4 9 " + huge + "\n";   // products
    disco::Table table = disco::ParseTable(text);
    ASSERT_EQ(table.problems.size(), 5u);
    for (const disco::Problem& p : table.problems) {
        EXPECT_LT(p.reason.size(), 200u) << p.line;
        EXPECT_NE(p.reason.find("\"NNNN"), std::string::npos) << p.reason;
        EXPECT_NE(p.reason.find("100000 characters"), std::string::npos) << p.reason;
    }
}

TEST(DiscoTableParse, WrittenLinesReadBackAndNamesAreChecked) {
    disco::Server none = MakeServer("Srv-01");
    none.products.clear();
    disco::Table back =
        disco::ParseTable(disco::FormatLine(none) + disco::FormatLine(MakeServer("B")));
    ASSERT_EQ(back.servers.size(), 2u);
    EXPECT_EQ(back.servers[0].address, none.address);
    EXPECT_TRUE(back.servers[0].products.empty());
    EXPECT_EQ(back.servers[1].products, (std::vector<uint32_t>{65, 70}));

    EXPECT_TRUE(disco::CheckServer(MakeServer("FIFTEEN_CHARS_X")).empty());
    for (const char* bad : {"SIXTEEN_CHARS_XX", "TWO WORDS", "#HASH", ""}) {
        EXPECT_FALSE(disco::CheckServer(MakeServer(bad)).empty()) << bad;
    }
}

class DiscoTableFile : public ::testing::Test {
  protected:
    orbtest::ScratchDir dir_;
    const std::string path_ = dir_ / "discovery.tbl";
    uint32_t error_ = 0;
};

TEST_F(DiscoTableFile, AppendAndRemoveKeepWhatTheyDoNotConcern) {
    disco::Table table;
    EXPECT_FALSE(disco::LoadTable(path_, &table, &error_));
    EXPECT_EQ(error_, 2u);

    size_t removed = 9;
    ASSERT_TRUE(disco::RemoveServer(path_, "NONE", &removed, &error_));
    EXPECT_EQ(removed, 0u);
    EXPECT_FALSE(std::ifstream(path_).good()) << "removing from no table creates none";

    // A hand-edited file: a comment, a bad line and no final line end.
    std::ofstream(path_) << "# mine\nA ACME 24 1.2.3.4 9 65\nbroken line\nb ACME 85 1.2.3.5 9 -";
    ASSERT_TRUE(disco::AppendServer(path_, MakeServer("C"), &error_));
    ASSERT_TRUE(disco::AppendServer(path_, MakeServer("a", 85), &error_));
    ASSERT_TRUE(disco::RemoveServer(path_, "A", &removed, &error_));
    EXPECT_EQ(removed, 2u);
    EXPECT_EQ(ReadFile(path_),
              "# mine\nbroken line\nb ACME 85 1.2.3.5 9 -\n" + disco::FormatLine(MakeServer("C")));

    EXPECT_FALSE(disco::AppendServer(path_, MakeServer("SIXTEEN_CHARS_XX"), &error_));
    EXPECT_EQ(error_, 87u);
}

}  // namespace
