#include "platform/environment.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Environment, ReadsWithWin32BufferRulesAndWrites) {
    ASSERT_TRUE(SetEnvironmentVariableA("ORB_ENV_TEST", "abcdef"));
    char buffer[16];
    EXPECT_EQ(GetEnvironmentVariableA("ORB_ENV_TEST", buffer, sizeof buffer), 6u);
    EXPECT_STREQ(buffer, "abcdef");
    // Too small, exactly the length, or no buffer: the size needed with terminator.
    char small[6] = "xxxxx";
    EXPECT_EQ(GetEnvironmentVariableA("ORB_ENV_TEST", small, sizeof small), 7u);
    EXPECT_STREQ(small, "xxxxx");
    EXPECT_EQ(GetEnvironmentVariableA("ORB_ENV_TEST", nullptr, 0), 7u);

    ASSERT_TRUE(SetEnvironmentVariableA("ORB_ENV_TEST", nullptr));
    SetLastError(0);
    EXPECT_EQ(GetEnvironmentVariableA("ORB_ENV_TEST", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));

    EXPECT_FALSE(SetEnvironmentVariableA("", "x"));
    EXPECT_FALSE(SetEnvironmentVariableA("A=B", "x"));
    EXPECT_FALSE(SetEnvironmentVariableA(nullptr, "x"));
}

}  // namespace
