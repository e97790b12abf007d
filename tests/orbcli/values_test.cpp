// Operator text to repository values and back: the conversions orbcli puts
// between the command line and the repository.
#include "framework/orbcli/values.h"

#include <gtest/gtest.h>

#include <cstring>

namespace orbcli {
namespace {

Value Parsed(int type, const std::string& text) {
    std::string error;
    auto value = ParseValue(type, text, &error);
    EXPECT_TRUE(value.has_value()) << text << ": " << error;
    return value.value_or(Value{});
}

bool Refused(int type, const std::string& text) {
    std::string error;
    const bool refused = !ParseValue(type, text, &error).has_value();
    if (refused) {
        EXPECT_NE(error.find(text), std::string::npos) << "error should quote the input";
    }
    return refused;
}

TEST(Values, IntegersAreDecimalOrFullWidthHex) {
    EXPECT_EQ(FormatValue(Parsed(kInteger, "-2147483648")), "-2147483648");
    EXPECT_EQ(FormatValue(Parsed(kInteger, "0xFFFFFFFF")), "-1");
    EXPECT_EQ(Parsed(kInteger, "5").bytes.size(), 4u);
    EXPECT_TRUE(Refused(kInteger, "2147483648"));
    EXPECT_TRUE(Refused(kInteger, "0x100000000"));
    EXPECT_TRUE(Refused(kInteger, "12abc"));
    EXPECT_TRUE(Refused(kInteger, ""));
}

TEST(Values, FixedSizeTypesCheckTheirForm) {
    EXPECT_EQ(Parsed(kDouble, "2.5").bytes.size(), 8u);
    EXPECT_TRUE(Refused(kDouble, "inf"));
    EXPECT_TRUE(Refused(kDouble, "1.5x"));
    EXPECT_EQ(FormatValue(Parsed(kBoolean, "TRUE")), "true");
    EXPECT_EQ(FormatValue(Parsed(kBoolean, "0")), "false");
    EXPECT_TRUE(Refused(kBoolean, "maybe"));
    EXPECT_EQ(Parsed(kChar, "x").bytes, std::vector<uint8_t>{'x'});
    EXPECT_TRUE(Refused(kChar, "xy"));
    EXPECT_EQ(Parsed(kBinary, "0x00fF10").bytes, (std::vector<uint8_t>{0x00, 0xFF, 0x10}));
    EXPECT_TRUE(Refused(kBinary, "abc"));
    EXPECT_TRUE(Refused(kBinary, "zz"));
}

TEST(Values, UuidsTakeAnyRegistryFormAndPrintOne) {
    const Value id = Parsed(kUuid, "7a1d44c2-93e5-11cf-a2b8-0040c91f6e2d");
    ASSERT_EQ(id.bytes.size(), 16u);
    uint32_t first = 0;
    std::memcpy(&first, id.bytes.data(), 4);
    EXPECT_EQ(first, 0x7A1D44C2u);  // the 32-bit field keeps its numeric value
    EXPECT_EQ(FormatValue(id), "{7A1D44C2-93E5-11CF-A2B8-0040C91F6E2D}");
    EXPECT_EQ(ValueToJson(id), "{7A1D44C2-93E5-11CF-A2B8-0040C91F6E2D}");
    EXPECT_TRUE(Refused(kUuid, "{7A1D44C2-93E5-11CF-A2B8}"));
}

TEST(Values, TextsAreQuotedSoTheyCanBeImportedAgain) {
    EXPECT_EQ(FormatValue(Parsed(kString, "say \"hi\" \\ bye")), "\"say \\\"hi\\\" \\\\ bye\"");
    EXPECT_EQ(FormatValue(Parsed(kString, "")), "\"\"");
    Value null{kString, {}, true};
    EXPECT_EQ(FormatValue(null), "null");
    EXPECT_TRUE(ValueToJson(null).is_null());
}

TEST(Values, JsonKeepsTheType) {
    EXPECT_TRUE(ValueToJson(Parsed(kInteger, "7")).is_number_integer());
    EXPECT_EQ(ValueToJson(Parsed(kInteger, "-7")), -7);
    EXPECT_DOUBLE_EQ(ValueToJson(Parsed(kDouble, "0.25")).get<double>(), 0.25);
    EXPECT_EQ(ValueToJson(Parsed(kBoolean, "yes")), true);
    EXPECT_EQ(ValueToJson(Parsed(kBinary, "0a0b")), "0A0B");
    EXPECT_EQ(ValueToJson(Parsed(kDateTime, "2026-12-08 02:00:00")), "2026-12-08 02:00:00");
}

TEST(Values, AssignmentsSplitAtTheFirstEquals) {
    std::string prop, text;
    ASSERT_TRUE(SplitAssignment("label=a=b", &prop, &text));
    EXPECT_EQ(prop, "label");
    EXPECT_EQ(text, "a=b");
    ASSERT_TRUE(SplitAssignment("name=", &prop, &text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(SplitAssignment("=x", &prop, &text));
    EXPECT_FALSE(SplitAssignment("name", &prop, &text));
}

}  // namespace
}  // namespace orbcli
