#include <gtest/gtest.h>

#include "platform/dynload.h"
#include "publisher/counter/DigitCounter.h"

namespace {

// The picture without its colours, for comparing by eye.
std::vector<std::string> Plain(const std::vector<std::string>& rows) {
    std::vector<std::string> plain;
    for (const std::string& row : rows) {
        std::string text;
        for (size_t i = 0; i < row.size(); ++i) {
            if (row[i] == '\x1b') {
                while (i < row.size() && row[i] != 'm') ++i;
            } else {
                text += row[i];
            }
        }
        plain.push_back(text);
    }
    return plain;
}

class CounterTest : public testing::Test {
  protected:
    void SetUp() override {
        resources_ = LoadLibraryA("NWOrbIntRes.dll");
        ASSERT_NE(resources_, nullptr);
        dialog_.AddControl(1003, orb::ControlKind::Counter, "processed");
        ASSERT_TRUE(counter_.SubclassDlgItem(1003, &dialog_, resources_));
    }
    void TearDown() override {
        if (resources_ != nullptr) FreeLibrary(resources_);
    }
    std::vector<std::string> Shown() { return Plain(dialog_.Item(1003)->image); }

    HMODULE resources_ = nullptr;
    orb::Dialog dialog_{"counter"};
    CDigitCounter counter_;
};

TEST_F(CounterTest, ShowsFourDigitsFromTheBitmapsInASunkenBorder) {
    EXPECT_EQ(Shown(),
              (std::vector<std::string>{"┌────────────┐", "│ _  _  _  _ │", "│| || || || |│",
                                        "│|_||_||_||_|│", "└────────────┘"}));
    ASSERT_TRUE(counter_.SetValue(1907));
    EXPECT_EQ(dialog_.Item(1003)->value, 1907);
    EXPECT_EQ(counter_.Digits(), (std::array<unsigned, 4>{7, 0, 9, 1}));
    // Digit 9 is bitmap 130 and 0 is 139, unlike 1 to 8.
    EXPECT_EQ(Shown()[1], "│    _  _  _ │");
    EXPECT_EQ(Shown()[2], "│  ||_|| |  |│");
    EXPECT_EQ(Shown()[3], "│  | _||_|  |│");
}

TEST_F(CounterTest, RefusesValuesAboveFourDigitsAndKeepsItsPicture) {
    ASSERT_TRUE(counter_.SetValue(9999));
    std::vector<std::string> before = dialog_.Item(1003)->image;
    EXPECT_FALSE(counter_.SetValue(10000));
    EXPECT_FALSE(counter_.SetValue(0xFFFFFFFFu));
    EXPECT_EQ(counter_.GetValue(), 9999u);
    EXPECT_EQ(dialog_.Item(1003)->image, before);
    EXPECT_EQ(dialog_.Item(1003)->value, 9999);
    EXPECT_TRUE(counter_.SetValue(9999));  // the value shown: success, nothing to do
    EXPECT_TRUE(counter_.SetValue(0));
    EXPECT_EQ(counter_.Digits(), (std::array<unsigned, 4>{0, 0, 0, 0}));
}

TEST(Counter, WorksWithoutResourcesOrBeforeItHasAControl) {
    CDigitCounter loose;
    EXPECT_TRUE(loose.SetValue(42));  // nothing to paint into yet
    orb::Dialog dialog("counter");
    EXPECT_FALSE(loose.SubclassDlgItem(1004, &dialog, nullptr));  // no such control
    dialog.AddControl(1004, orb::ControlKind::Counter);
    ASSERT_TRUE(loose.SubclassDlgItem(1004, &dialog, nullptr));
    EXPECT_EQ(dialog.Item(1004)->value, 42);
    EXPECT_EQ(Plain(dialog.Item(1004)->image)[2], "│ ?  ?  ?  ? │");
}

}  // namespace
