#include "platform/debug.h"

#include <gtest/gtest.h>

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
