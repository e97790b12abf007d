#include "platform/uuid.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Uuid, TextFormUsesWindowsFieldLayout) {
    UUID id{};
    ASSERT_TRUE(orb::UuidFromString("{6B29FC40-CA47-1067-B31D-00DD010662DA}", &id));
    EXPECT_EQ(id.Data1, 0x6B29FC40u);
    EXPECT_EQ(id.Data2, 0xCA47u);
    EXPECT_EQ(id.Data3, 0x1067u);
    const uint8_t tail[8] = {0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA};
    EXPECT_EQ(memcmp(id.Data4, tail, 8), 0);
    EXPECT_EQ(orb::UuidToString(id), "{6B29FC40-CA47-1067-B31D-00DD010662DA}");

    UUID lower{};
    ASSERT_TRUE(orb::UuidFromString("6b29fc40-ca47-1067-b31d-00dd010662da", &lower));
    EXPECT_EQ(memcmp(&id, &lower, sizeof(UUID)), 0);
}

TEST(Uuid, MalformedTextIsRefused) {
    UUID id{};
    for (const char* bad : {"", "{}", "{6B29FC40-CA47-1067-B31D-00DD010662DA",
                            "6B29FC40-CA47-1067-B31D-00DD010662DA}", "6B29FC40CA471067B31D00DD010662DA",
                            "6B29FC40-CA47-1067-B31D-00DD010662DAX", "6B29FC40-CA47-1067-B31D-00DD010662DG",
                            "{6B29FC40-CA47-1067-B31D-00DD010662DA}}"}) {
        EXPECT_FALSE(orb::UuidFromString(bad, &id)) << bad;
    }
    EXPECT_TRUE(orb::UuidIsNil(id));
}

TEST(Uuid, CreatedIdsAreRandomVersionFourAndRoundTrip) {
    UUID a{}, b{};
    ASSERT_EQ(UuidCreate(&a), RPC_S_OK);
    ASSERT_EQ(UuidCreate(&b), RPC_S_OK);
    EXPECT_FALSE(orb::UuidIsNil(a));
    EXPECT_NE(memcmp(&a, &b, sizeof(UUID)), 0);
    // The version sits in the top nibble of Data3 only when the fields are
    // laid out as Windows lays them out.
    EXPECT_EQ(a.Data3 >> 12, 4);
    UUID back{};
    ASSERT_TRUE(orb::UuidFromString(orb::UuidToString(a), &back));
    EXPECT_EQ(memcmp(&a, &back, sizeof(UUID)), 0);
    EXPECT_NE(UuidCreate(nullptr), RPC_S_OK);
}

}  // namespace
