#include "platform/debug.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "tests/platform/scratch_dir.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DebugOutput, InstalledSinkGetsEveryLineUntilRemoved) {
    std::vector<std::string> lines;
    orb::SetDebugSink([&](const std::string& line) { lines.push_back(line); });
    OutputDebugStringA("lebInitialize() - started");
    OutputDebugStringA(nullptr);
    orb::SetDebugSink(nullptr);
    orbtest::ScopedEnv none("ORB_DEBUG_OUTPUT", "none");
    OutputDebugStringA("after removal");
    EXPECT_EQ(lines, std::vector<std::string>{"lebInitialize() - started"});
}

TEST(DebugOutput, FileSinkAppendsOneLinePerCall) {
    orbtest::ScratchDir dir;
    std::string path = dir / "debug.log";
    orbtest::ScopedEnv sink("ORB_DEBUG_OUTPUT", "file:" + path);
    OutputDebugStringA("first\r\n");
    OutputDebugStringA("second");
    OutputDebugStringA("");
    EXPECT_EQ(ReadAll(path), "first\nsecond\n\n");
}

TEST(DebugOutput, FileSinkFollowsARotatedFileAndKnowsWhenNobodyReads) {
    orbtest::ScratchDir dir;
    const std::string path = dir / "debug.log";
    orbtest::ScopedEnv sink("ORB_DEBUG_OUTPUT", "file:" + path);
    EXPECT_TRUE(orb::DebugOutputWanted());
    OutputDebugStringA("first");
    std::filesystem::rename(path, dir / "debug.log.1");
    OutputDebugStringA("second");
    EXPECT_EQ(ReadAll(dir / "debug.log.1"), "first\n");
    EXPECT_EQ(ReadAll(path), "second\n");

    for (const std::string& nobody : {std::string("none"), std::string("file:/dev/null"),
                                      "file:" + (dir / "missing/x.log")}) {
        orbtest::ScopedEnv off("ORB_DEBUG_OUTPUT", nobody);
        EXPECT_FALSE(orb::DebugOutputWanted()) << nobody;
        OutputDebugStringA("dropped");
    }
    EXPECT_TRUE(orb::DebugOutputWanted());
    OutputDebugStringA("third");
    EXPECT_EQ(ReadAll(path), "second\nthird\n");

    orbtest::ScopedEnv none("ORB_DEBUG_OUTPUT", "none");
    orb::SetDebugSink([](const std::string&) {});
    EXPECT_TRUE(orb::DebugOutputWanted());
    orb::SetDebugSink(nullptr);
}

TEST(DebugOutput, NoneDropsTheLine) {
    orbtest::ScratchDir dir;
    {
        orbtest::ScopedEnv sink("ORB_DEBUG_OUTPUT", "none");
        OutputDebugStringA("dropped");
    }
    // An unwritable file is not the caller's problem either.
    orbtest::ScopedEnv sink("ORB_DEBUG_OUTPUT", "file:" + (dir / "missing/dir/x.log"));
    OutputDebugStringA("lost quietly");
    SUCCEED();
}

}  // namespace
