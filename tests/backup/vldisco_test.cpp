// vldisco as scripts use it: the real program on a private machine root.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "backup/discotable/discotable.h"
#include "platform/command.h"
#include "platform/sync.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

namespace {

using Args = std::vector<std::string>;

class VldiscoTest : public ::testing::Test {
  protected:
    static int Run(Args args, std::string* out) {
        args.insert(args.begin(), orbtest::BinDir() + "/vldisco");
        return orb::RunCommand(args, 20000, out);
    }
    int Run(Args args) { return Run(std::move(args), &out_); }
    static Args Add(const std::string& name, const std::string& owner = "24",
                    const std::string& ip = "10.1.1.9", const std::string& release = "9") {
        return {"add", name,   "--domain", "CORP",      "--owner",
                owner, "--ip", ip,         "--release", release};
    }
    std::vector<disco::Server> Servers() {
        std::stringstream text;
        text << std::ifstream(disco::TablePath()).rdbuf();
        return disco::ParseTable(text.str()).servers;
    }

    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_ / "machine"};
    std::string out_;
};

TEST_F(VldiscoTest, AddListRemove) {
    Args withProducts = Add("BKSRV");
    withProducts.insert(withProducts.end(), {"--product", "65", "--product", "71"});
    ASSERT_EQ(Run(withProducts), 0);
    ASSERT_EQ(Run(Add("BKSRV", "85")), 0);
    ASSERT_EQ(Run(Add("KEEP")), 0);
    ASSERT_EQ(Run({"list"}), 0);
    EXPECT_NE(out_.find("65,71"), std::string::npos);
    ASSERT_EQ(Servers().size(), 3u);
    EXPECT_EQ(Servers()[1].owner, 85u);

    ASSERT_EQ(Run({"remove", "bksrv"}), 0);
    EXPECT_EQ(Servers().size(), 1u);
    EXPECT_EQ(Run({"remove", "BKSRV"}), 1);
    EXPECT_NE(out_.find("no server BKSRV"), std::string::npos);
}

TEST_F(VldiscoTest, BadInputIsRefusedAndWritesNothing) {
    EXPECT_EQ(Run(Add("SIXTEEN_CHARS_XX")), 2);
    EXPECT_NE(out_.find("longer than 15 characters"), std::string::npos);
    Args longDomain = Add("SRV");
    longDomain[3] = "DOMAIN_OF_16_CHR";
    EXPECT_EQ(Run(longDomain), 2);
    EXPECT_NE(out_.find("domain"), std::string::npos);
    EXPECT_EQ(Run(Add("SRV", "x")), 2);
    EXPECT_EQ(Run(Add("SRV", "24", "10.1.1")), 2);
    EXPECT_EQ(Run(Add("SRV", "24", "10.1.1.9", "256")), 2);
    EXPECT_EQ(Run({"add", "SRV", "--domain", "CORP"}), 2);
    EXPECT_EQ(Run({}), 2);
    EXPECT_FALSE(std::ifstream(disco::TablePath()).good());

    // A hand-damaged line is reported by number; the rest is still listed.
    ASSERT_EQ(Run(Add("SRV")), 0);
    std::ofstream(disco::TablePath(), std::ios::app) << "SRV2 CORP 24 10.1.1.300 9 -\n";
    ASSERT_EQ(Run({"list"}), 0);
    EXPECT_NE(out_.find("line 4 skipped"), std::string::npos);
    EXPECT_NE(out_.find("SRV "), std::string::npos);
}

TEST_F(VldiscoTest, ProcessesAnnouncingAtOnceLoseNoLine) {
    std::vector<orb::Thread> runners;
    for (int p = 0; p < 4; ++p) {
        runners.emplace_back([this, p] {
            std::string out;  // each runner its own output
            for (int i = 0; i < 5; ++i)
                Run(Add("P" + std::to_string(p) + "N" + std::to_string(i)), &out);
        });
    }
    for (orb::Thread& t : runners) t.Join();
    EXPECT_EQ(Servers().size(), 20u);
}

}  // namespace
