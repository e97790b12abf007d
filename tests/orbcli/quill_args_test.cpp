// quill's switches as installers and operators write them.
#include "framework/quill/quill_args.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(QuillArgs, InstallerFormWithAbsolutePath) {
    Args args;
    std::string error;
    ASSERT_TRUE(ParseArgs({"/q", "/g", "/x", "/opt/orb/bin/Lumora.orb"}, &args, &error)) << error;
    EXPECT_TRUE(args.quiet && args.create && args.noWait);
    EXPECT_EQ(args.file, "/opt/orb/bin/Lumora.orb");
    EXPECT_TRUE(args.repository.empty());
}

TEST(QuillArgs, SwitchesIgnoreCaseAndTakeEitherPrefix) {
    Args args;
    std::string error;
    ASSERT_TRUE(ParseArgs({"/Q", "-x", "/R:Site_1", "defs.orb"}, &args, &error)) << error;
    EXPECT_TRUE(args.quiet && args.noWait);
    EXPECT_FALSE(args.create);
    EXPECT_EQ(args.repository, "Site_1");
    ASSERT_TRUE(ParseArgs({"/?"}, &args, &error));
    EXPECT_TRUE(args.help);
}

TEST(QuillArgs, BadCommandLinesAreRefused) {
    Args args;
    std::string error;
    EXPECT_FALSE(ParseArgs({"/q", "/z", "a.orb"}, &args, &error));
    EXPECT_NE(error.find("/z"), std::string::npos);
    EXPECT_FALSE(ParseArgs({"a.orb", "b.orb"}, &args, &error));
    EXPECT_FALSE(ParseArgs({"/q", "/g", "/x"}, &args, &error));
    EXPECT_FALSE(ParseArgs({"/r:", "a.orb"}, &args, &error));
}

}  // namespace
}  // namespace quill
