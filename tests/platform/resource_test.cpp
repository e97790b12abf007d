#include "platform/resource.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class AgentResources : public ::testing::Test {
protected:
    void SetUp() override { library_ = LoadLibraryA("lmAgentRes.dll"); }
    void TearDown() override {
        if (library_ != nullptr) FreeLibrary(library_);
    }
    HINSTANCE library_ = nullptr;
};

TEST_F(AgentResources, HoldsTheEightStatusTexts) {
    ASSERT_NE(library_, nullptr);
    const char* expected[] = {"Unknown",          "Start Pending", "Stop Pending", "Running",
                              "Continue Pending", "Pause Pending", "Paused",       "Stopped"};
    for (UINT id = 0; id < 8; ++id) {
        char text[64];
        EXPECT_EQ(LoadStringA(library_, id, text, sizeof text),
                  static_cast<int>(std::strlen(expected[id])));
        EXPECT_STREQ(text, expected[id]);
    }
    char text[64] = "stale";
    EXPECT_EQ(LoadStringA(library_, 8, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(orb::ResourceDialogCaption(library_, 1), nullptr);
}

TEST_F(AgentResources, CutsToTheBufferAndAlwaysTerminates) {
    ASSERT_NE(library_, nullptr);
    char text[8];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(LoadStringA(library_, 3, text, 4), 3);
    EXPECT_STREQ(text, "Run");
    EXPECT_EQ(text[4], 'x');
    EXPECT_EQ(LoadStringA(library_, 3, text, 1), 0);
    EXPECT_STREQ(text, "");
    text[0] = 'x';
    EXPECT_EQ(LoadStringA(library_, 3, text, 0), 0);
    EXPECT_EQ(text[0], 'x');
}

TEST(ProgramResources, AProgramWithoutATableHasNoStrings) {
    char text[16] = "stale";
    EXPECT_EQ(LoadStringA(nullptr, 3, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
}

}  // namespace
