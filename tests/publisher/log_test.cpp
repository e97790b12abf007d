// The publisher log: its switch, its place, its line shape, and lines from
// several threads and processes at once.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "backup/kstool/kstool.h"
#include "platform/filelock.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/sync.h"
#include "publisher/PublisherLog.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

namespace {

constexpr const char* kIntegrationKey =
    "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\OrbIntegration";
constexpr const char* kPathKey = "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path";

class PublisherLogTest : public ::testing::Test {
protected:
    orbtest::ScratchDir root;
    orbtest::ScopedEnv env{"ORB_MACHINE_ROOT", root.path()};

    std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> Lines(const std::string& path) {
        std::string text = Read(path);
        std::vector<std::string> lines;
        size_t at = 0;
        for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
            lines.push_back(text.substr(at, end - at));
        }
        EXPECT_EQ(at, text.size()) << "unterminated tail";
        return lines;
    }
};

TEST_F(PublisherLogTest, OnlyDebugExactlyOneWritesAndTheDirectoryFallsBackToTemp) {
    publisher::WriteLog("absent");
    orb::RegSetDword(kIntegrationKey, "Debug", 2);
    publisher::WriteLog("two");
    std::string inTemp = orb::TempDirectory() + "/EBOrbInt.log";
    EXPECT_FALSE(std::filesystem::exists(inTemp));
    EXPECT_EQ(publisher::LogFilePath(), "");

    orb::RegSetDword(kIntegrationKey, "Debug", 1);
    publisher::WriteLog("to temp");
    ASSERT_EQ(Lines(inTemp).size(), 1u);

    std::string logDir = root / "logs";
    std::filesystem::create_directories(logDir);
    orb::RegSetString(kPathKey, "LOG", logDir + "/");
    publisher::WriteLog("to LOG");
    std::vector<std::string> lines = Lines(logDir + "/EBOrbInt.log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d\tto LOG)")))
        << lines[0];
}

TEST_F(PublisherLogTest, ALogThatCannotBeWrittenIsShownWithTheSystemsTextUnderTheTitle) {
    orb::RegSetDword(kIntegrationKey, "Debug", 1);
    // A folder that leads back to itself: no file can be made in it.
    const std::string loop = root / "loop";
    std::filesystem::create_directory_symlink(loop, loop);
    orb::RegSetString(kPathKey, "LOG", loop);
    testing::internal::CaptureStdout();
    publisher::WriteLog("lost");
    const std::string box = testing::internal::GetCapturedStdout();
    EXPECT_EQ(box,
              "Lumora Vaultline Orb Object Creation: The name of the file cannot be resolved "
              "by the system. " +
                  loop + "/EBOrbInt.log [OK] -> OK\n");
}

TEST_F(PublisherLogTest, LongMessageIsCutButTheLineEndStays) {
    orb::RegSetDword(kIntegrationKey, "Debug", 1);
    publisher::WriteLog(std::string(2000, 'x').c_str());
    std::vector<std::string> lines = Lines(orb::TempDirectory() + "/EBOrbInt.log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 637u);  // 640 bytes with "\r\n" and the terminator
}

TEST_F(PublisherLogTest, AFullLogIsMovedAsideAndWritersMeetNoTornLine) {
    orb::RegSetDword(kIntegrationKey, "Debug", 1);
    const std::string log = orb::TempDirectory() + "/EBOrbInt.log";
    publisher::WriteLog("old pass");
    std::filesystem::resize_file(log, KSTOOL_TRACE_ROTATE_BYTES);
    publisher::WriteLog("new pass");
    EXPECT_EQ(std::filesystem::file_size(log + ".1"), KSTOOL_TRACE_ROTATE_BYTES);
    std::vector<std::string> lines = Lines(log);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\tnew pass"), std::string::npos);

    // Writers that find the file full at once: exactly one moves it, and
    // every piece holds whole lines only, never much more than the limit.
    constexpr uint64_t kLimit = 4096;
    const std::string small = root / "small.log";
    auto body = [&](char tag) {
        const std::string line = std::string(40, tag) + "\r\n";
        for (int i = 0; i < 400; ++i) {
            ASSERT_EQ(orb::AppendRotated(small, line.data(), line.size(), kLimit), ERROR_SUCCESS);
        }
    };
    {
        orb::Thread a([&] { body('a'); }), b([&] { body('b'); }), c([&] { body('c'); });
    }
    for (const std::string& piece : {small, small + ".1"}) {
        EXPECT_LT(std::filesystem::file_size(piece), kLimit + 42) << piece;
        for (const std::string& line : Lines(piece)) {
            EXPECT_TRUE(line == std::string(40, line[0])) << piece << ": " << line;
        }
    }
}

TEST_F(PublisherLogTest, TwoThreadsAndTwoProcessesLoseAndTearNoLine) {
    orb::RegSetDword(kIntegrationKey, "Debug", 1);
    constexpr int kLines = 300;
    std::string writer = orbtest::BinDir() + "/publog_writer";
    orb::Process one, two;
    ASSERT_TRUE(orb::StartProgram({writer, "procA", std::to_string(kLines)}, "", &one));
    ASSERT_TRUE(orb::StartProgram({writer, "procB", std::to_string(kLines)}, "", &two));
    auto body = [](const char* tag) {
        for (int i = 0; i < kLines; ++i) publisher::WriteLogF("%s line %d", tag, i);
    };
    {
        orb::Thread a([&] { body("thrA"); });
        orb::Thread b([&] { body("thrB"); });
    }
    DWORD code = 1;
    ASSERT_TRUE(orb::WaitProcess(one, 60000, &code));
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(orb::WaitProcess(two, 60000, &code));
    EXPECT_EQ(code, 0u);

    std::map<std::string, int> next;
    std::regex shape(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d\t(\w+) line (\d+))");
    for (const std::string& line : Lines(orb::TempDirectory() + "/EBOrbInt.log")) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << "torn: " << line;
        // Each writer's lines arrive whole and in its own order.
        EXPECT_EQ(std::stoi(m[2]), next[m[1]]++) << line;
    }
    for (const char* tag : {"procA", "procB", "thrA", "thrB"}) EXPECT_EQ(next[tag], kLines) << tag;
}

}  // namespace
