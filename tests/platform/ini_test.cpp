#include "platform/ini.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/inifile.h"
#include "platform/sync.h"
#include "tests/platform/pipe_writer.h"
#include "tests/platform/scratch_dir.h"

namespace {

using orbtest::ScratchDir;

class Ini : public ::testing::Test {
protected:
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Text() {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string Get(const char* section, const char* key, const char* def = "...") {
        char buffer[260];
        DWORD n = GetPrivateProfileStringA(section, key, def, buffer, sizeof(buffer), path_.c_str());
        return std::string(buffer, n);
    }

    ScratchDir dir_;
    std::string path_ = dir_ / "ksuxgo.ini";
};

TEST_F(Ini, LooksUpWithoutLetterCaseAndCleansValues) {
    Write("; launcher settings\r\n"
          "orphan=before any section\r\n"
          "[Default]\r\n"
          "Type = telnet  \r\n"
          "CmdLine=\"http://$hostName:6060\"\r\n"
          "HostList='SunOS'\r\n"
          "Quote=\"half\r\n"
          "type=second one loses\r\n"
          "\r\n"
          "[ vault01 ]\r\n"
          ";Type=commented out\r\n"
          "Empty=\r\n");
    EXPECT_EQ(Get("DEFAULT", "TYPE"), "telnet");
    EXPECT_EQ(Get("default", "cmdline"), "http://$hostName:6060");
    EXPECT_EQ(Get("Default", "HostList"), "SunOS");
    EXPECT_EQ(Get("Default", "Quote"), "\"half");
    EXPECT_EQ(Get("VAULT01", "Empty"), "");
    EXPECT_EQ(Get("vault01", "Type"), "...");
    EXPECT_EQ(Get("vault01", ";Type"), "...");
    EXPECT_EQ(Get("vault02", "Type", "http  "), "http");
    EXPECT_EQ(Get("vault02", "Type", nullptr), "");
    EXPECT_EQ(Get("Default", "orphan"), "...");
}

TEST_F(Ini, MissingFileGivesDefaults) {
    EXPECT_EQ(Get("Default", "Type", "http"), "http");
    EXPECT_EQ(GetPrivateProfileIntA("Default", "Port", 6060, path_.c_str()), 6060u);
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof(buffer), path_.c_str()), 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '\0');
}

TEST_F(Ini, ValuesAreCutToTheBufferAndAlwaysTerminated) {
    // As long a line as a file within the size cap holds.
    std::string longValue(orb::kIniFileMaxBytes - 64, 'v');
    Write("[Default]\nCmdLine=" + longValue + "\nShort=abc\n");
    char buffer[261];
    memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(GetPrivateProfileStringA("Default", "CmdLine", "", buffer, 260, path_.c_str()), 259u);
    EXPECT_EQ(std::string(buffer), longValue.substr(0, 259));
    EXPECT_EQ(buffer[260], '#');

    EXPECT_EQ(GetPrivateProfileStringA("Default", "Short", "", buffer, 3, path_.c_str()), 2u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(GetPrivateProfileStringA("Default", "Short", "", buffer, 1, path_.c_str()), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetPrivateProfileStringA("Default", "Short", "", buffer, 0, path_.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileStringA("Default", "Short", "", nullptr, 10, path_.c_str()), 0u);
}

TEST_F(Ini, ListsSectionsAndKeysAsDoubleZeroTerminatedLists) {
    Write("[Default]\nType=http\nCmdLine=x\n[vault01]\nType=telnet\n");
    char buffer[64];
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof(buffer), path_.c_str());
    EXPECT_EQ(std::string(buffer, n + 1), std::string("Default\0vault01\0\0", 17));
    n = GetPrivateProfileStringA("DEFAULT", nullptr, "", buffer, sizeof(buffer), path_.c_str());
    EXPECT_EQ(std::string(buffer, n + 1), std::string("Type\0CmdLine\0\0", 14));

    // Too small: the last name is cut and the list still ends in two zeros.
    memset(buffer, '#', sizeof(buffer));
    n = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, 12, path_.c_str());
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(std::string(buffer, 12), std::string("Default\0va\0\0", 12));
    EXPECT_EQ(buffer[12], '#');
    n = GetPrivateProfileStringA("nosuch", nullptr, "", buffer, sizeof(buffer), path_.c_str());
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(std::string(buffer, 2), std::string("\0\0", 2));
}

TEST_F(Ini, IntegersTakeLeadingDigitsWithSign) {
    Write("[n]\na=42\nb=-5\nc=12abc\nd=abc\ne= 7 \n");
    const char* f = path_.c_str();
    EXPECT_EQ(GetPrivateProfileIntA("N", "A", 0, f), 42u);
    EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA("n", "b", 0, f)), -5);
    EXPECT_EQ(GetPrivateProfileIntA("n", "c", 0, f), 12u);
    EXPECT_EQ(GetPrivateProfileIntA("n", "d", 9, f), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("n", "e", 0, f), 7u);
    EXPECT_EQ(GetPrivateProfileIntA("n", "missing", 9, f), 9u);
}

TEST_F(Ini, WritesChangeOnlyTheirOwnLines) {
    Write("; keep me\n[Default]\nType=http\n\n[vault01]\nCmdLine=old\n");
    const char* f = path_.c_str();
    EXPECT_TRUE(WritePrivateProfileStringA("VAULT01", "cmdline", "new", f));
    EXPECT_TRUE(WritePrivateProfileStringA("default", "HostList", "SunOS", f));
    EXPECT_TRUE(WritePrivateProfileStringA("vault02", "Type", "telnet", f));
    EXPECT_EQ(Text(),
              "; keep me\n[Default]\nType=http\nHostList=SunOS\n\n[vault01]\nCmdLine=new\n"
              "[vault02]\nType=telnet\n");

    EXPECT_TRUE(WritePrivateProfileStringA("Default", "type", nullptr, f));
    EXPECT_TRUE(WritePrivateProfileStringA("VAULT01", nullptr, nullptr, f));
    EXPECT_TRUE(WritePrivateProfileStringA("nosuch", "x", nullptr, f));
    EXPECT_EQ(Text(), "; keep me\n[Default]\nHostList=SunOS\n\n[vault02]\nType=telnet\n");

    // A line of a "\n" file whose text ends in "\r" keeps it through a write
    // of another line.
    Write("[a]\nx=1\r\r\ny=2\n");
    EXPECT_EQ(Get("a", "x"), "1\r");
    EXPECT_TRUE(WritePrivateProfileStringA("a", "y", "3", f));
    EXPECT_EQ(Get("a", "x"), "1\r");
    EXPECT_EQ(Text(), "[a]\nx=1\r\r\ny=3\n");
}

TEST_F(Ini, WritesCreateTheFileAndKeepItsLineEnds) {
    std::string created = dir_ / "new.ini";
    EXPECT_TRUE(WritePrivateProfileStringA("s", "k", "v", created.c_str()));
    char buffer[8];
    GetPrivateProfileStringA("S", "K", "", buffer, sizeof(buffer), created.c_str());
    EXPECT_STREQ(buffer, "v");
    // A delete never creates a file.
    std::string absent = dir_ / "absent.ini";
    EXPECT_TRUE(WritePrivateProfileStringA("s", nullptr, nullptr, absent.c_str()));
    EXPECT_FALSE(std::ifstream(absent).good());

    Write("[a]\r\nx=1\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("a", "y", "2", path_.c_str()));
    EXPECT_EQ(Text(), "[a]\r\nx=1\r\ny=2\r\n");
}

TEST_F(Ini, FileNameLetterCaseIsIgnored) {
    Write("[Default]\nType=telnet\n");
    std::string other = dir_ / "KSUXGO.INI";
    char buffer[16];
    GetPrivateProfileStringA("Default", "Type", "", buffer, sizeof(buffer), other.c_str());
    EXPECT_STREQ(buffer, "telnet");
    EXPECT_TRUE(WritePrivateProfileStringA("Default", "Type", "http", other.c_str()));
    EXPECT_EQ(Text(), "[Default]\nType=http\n");
}

TEST_F(Ini, BadWritesAreRefusedAndLoseNothing) {
    Write("[a]\nx=1\n");
    const char* f = path_.c_str();
    EXPECT_FALSE(WritePrivateProfileStringA("a", "x", "1\n[b]", f));
    EXPECT_FALSE(WritePrivateProfileStringA("a", "k=v", "1", f));
    EXPECT_FALSE(WritePrivateProfileStringA("a", ";k", "1", f));
    EXPECT_FALSE(WritePrivateProfileStringA("a", "  ", "1", f));
    EXPECT_FALSE(WritePrivateProfileStringA("a]", "k", "1", f));
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "1", f));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    std::string noDir = dir_ / "missing/dir/x.ini";
    EXPECT_FALSE(WritePrivateProfileStringA("a", "k", "1", noDir.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Text(), "[a]\nx=1\n");
}

TEST_F(Ini, OnlyRegularFilesWithinTheSizeCapAreReadOthersAreAbsent) {
    const std::string settings = "[Default]\nType=telnet\n;";
    // Exactly at the cap: read.
    Write(settings + std::string(orb::kIniFileMaxBytes - settings.size(), 'x'));
    EXPECT_EQ(Get("Default", "Type"), "telnet");

    testing::internal::CaptureStderr();
    // One byte over: absent, and the file is not written either.
    const std::string big = dir_ / "big.ini";
    std::ofstream(big) << settings + std::string(orb::kIniFileMaxBytes - settings.size() + 1, 'x');
    char value[16] = {};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(
            GetPrivateProfileStringA("Default", "Type", "http", value, sizeof value, big.c_str()),
            4u);
        EXPECT_STREQ(value, "http");
    }
    EXPECT_EQ(GetPrivateProfileIntA("Default", "Type", 7, big.c_str()), 7u);
    EXPECT_FALSE(WritePrivateProfileStringA("Default", "Type", "http", big.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));

    // A device: absent, and it is not replaced by a file.
    const std::string device = dir_ / "device.ini";
    ASSERT_EQ(symlink("/dev/null", device.c_str()), 0);
    EXPECT_EQ(
        GetPrivateProfileStringA("Default", "Type", "http", value, sizeof value, device.c_str()),
        4u);
    EXPECT_FALSE(WritePrivateProfileStringA("Default", "Type", "telnet", device.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FILE_TYPE));
    EXPECT_EQ(std::filesystem::read_symlink(device), "/dev/null");

    // A pipe nobody writes to: absent at once, for reading and for writing.
    const std::string pipe = dir_ / "pipe.ini";
    {
        orbtest::PipeWriter writer(pipe, settings + "\n");
        ASSERT_TRUE(writer.Made());
        EXPECT_EQ(
            GetPrivateProfileStringA("Default", "Type", "http", value, sizeof value, pipe.c_str()),
            4u);
        EXPECT_FALSE(WritePrivateProfileStringA("Default", "Type", "telnet", pipe.c_str()));
        EXPECT_FALSE(writer.ReaderWaited());
    }
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));

    // Each file is told about once, however often it is read.
    const std::string err = testing::internal::GetCapturedStderr();
    auto count = [&err](const std::string& text) {
        size_t n = 0;
        for (size_t at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count(big + " is larger than 1048576 bytes; read as absent"), 1u) << err;
    EXPECT_EQ(count(device + " is not a regular file; read as absent"), 1u) << err;
    EXPECT_EQ(count(pipe + " is not a regular file; read as absent"), 1u) << err;
}

TEST_F(Ini, ConcurrentWritersLoseNothing) {
    constexpr int kKeys = 50;
    std::atomic<int> failures{0};
    auto writer = [&](const char* section) {
        for (int i = 0; i < kKeys; ++i) {
            std::string key = "k" + std::to_string(i);
            if (!WritePrivateProfileStringA(section, key.c_str(), "v", path_.c_str())) ++failures;
        }
    };
    {
        orb::Thread first([&] { writer("one"); });
        orb::Thread second([&] { writer("two"); });
    }
    EXPECT_EQ(failures, 0);
    std::vector<char> buffer(8192);
    for (const char* section : {"one", "two"}) {
        DWORD n = GetPrivateProfileStringA(section, nullptr, "", buffer.data(),
                                           static_cast<DWORD>(buffer.size()), path_.c_str());
        EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + n, '\0'), kKeys) << section;
    }
}

}  // namespace
