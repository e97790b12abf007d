// kstool's key paths: defaults, the machine's configuration, and the
// caller's 256-byte buffer.
#include "backup/kstool/kstool.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ini.h"
#include "platform/registry.h"
#include "tests/platform/scratch_dir.h"

namespace {

class KsToolTest : public ::testing::Test {
protected:
    std::string Product() {
        char buffer[256];
        EXPECT_EQ(KsToolGetProductKey(buffer, sizeof buffer), ERROR_SUCCESS);
        return buffer;
    }
    void Configure(const char* key, const std::string& value) {
        WritePrivateProfileStringA("Keys", key, value.c_str(), (dir_ / "kstool.ini").c_str());
    }

    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_.path()};
};

TEST_F(KsToolTest, DefaultsMatchTheProductsKeys) {
    char buffer[256];
    EXPECT_EQ(Product(), "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base");
    ASSERT_EQ(KsToolGetIntegrationRootKey(buffer, sizeof buffer), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup");
    ASSERT_EQ(KsToolGetServerKey(buffer, sizeof buffer), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Servers");
}

TEST_F(KsToolTest, ConfigurationIsTakenWhenUsable) {
    Configure("ProductKey", "SOFTWARE\\Site\\Backup\\\\");
    EXPECT_EQ(Product(), "SOFTWARE\\Site\\Backup");
    // 255 characters fit the callers' buffers; 256 do not and are ignored.
    Configure("ProductKey", std::string(255, 'k'));
    EXPECT_EQ(Product(), std::string(255, 'k'));
    Configure("ProductKey", std::string(256, 'k'));
    EXPECT_EQ(Product(), "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base");
}

TEST_F(KsToolTest, ShortBuffersGetNothingRatherThanAPartialPath) {
    char small[8] = "xxxxxxx";
    EXPECT_EQ(KsToolGetServerKey(small, sizeof small), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(KsToolGetServerKey(nullptr, 256), ERROR_INVALID_PARAMETER);
}

TEST_F(KsToolTest, LogDirectoryIsWholeOrNothing) {
    char dir[16] = "xxxxxxxxxxxxxxx";
    EXPECT_NE(KsToolGetLogDirectory(dir, sizeof dir), ERROR_SUCCESS);
    EXPECT_STREQ(dir, "");
    const std::string path = Product() + "\\Path";
    ASSERT_EQ(orb::RegSetString(path, "LOG", std::string(15, 'd')), ERROR_SUCCESS);
    ASSERT_EQ(KsToolGetLogDirectory(dir, sizeof dir), ERROR_SUCCESS);
    EXPECT_EQ(std::string(dir), std::string(15, 'd'));
    ASSERT_EQ(orb::RegSetString(path, "LOG", std::string(16, 'd')), ERROR_SUCCESS);
    EXPECT_EQ(KsToolGetLogDirectory(dir, sizeof dir), ERROR_MORE_DATA);
    EXPECT_STREQ(dir, "");
}

TEST_F(KsToolTest, LogLinesKeepTheirStampAndLineEnd) {
    char line[32];
    EXPECT_EQ(KsToolFormatLogLine("x", line, 20), 0u);  // no room for stamp and line end
    ASSERT_EQ(KsToolFormatLogLine(std::string(40, 'm').c_str(), line, sizeof line), 31u);
    EXPECT_EQ(line[2], '/');
    EXPECT_EQ(line[17], '\t');
    EXPECT_EQ(std::string(line + 18), std::string(11, 'm') + "\r\n");
    ASSERT_EQ(KsToolFormatLogLine(nullptr, line, sizeof line), 20u);
    EXPECT_STREQ(line + 18, "\r\n");
}

}  // namespace
