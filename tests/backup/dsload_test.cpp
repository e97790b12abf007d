// The discovery service loaded by name, as the object library loads it,
// asked whether a server runs the backup product (product id 65).
#include "backup/dsload/dsload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "backup/discotable/discotable.h"
#include "backup/vlbrdcst/vlbrdcst.h"
#include "platform/dynload.h"
#include "tests/platform/scratch_dir.h"

namespace {

class DsloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryA("dsload.dll");
        ASSERT_NE(module_, nullptr);
        load_ = Entry<decltype(&KestDSLoad)>("KestDSLoad");
        unload_ = Entry<decltype(&KestDSUnLoad)>("KestDSUnLoad");
        init_ = Entry<decltype(&DSInitEnumServer)>("DSInitEnumServer");
        byProduct_ = Entry<decltype(&DSTblEnumServerByProductId)>("DSTblEnumServerByProductId");
        deinit_ = Entry<decltype(&DSDeInitEnumServer)>("DSDeInitEnumServer");
        ASSERT_TRUE(load_ && unload_ && init_ && byProduct_ && deinit_);
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    template <typename Fn>
    Fn Entry(const char* name) {
        return reinterpret_cast<Fn>(GetProcAddress(module_, name));
    }
    void Announce(const std::string& line) {
        std::ofstream(disco::TablePath(), std::ios::app) << line << "\n";
    }
    // The question as the object library asks it, whole.
    int32_t Ask(const std::string& server, int32_t product = VLB_PRODUCT_VAULTLINE) {
        if (load_(0) != 0) return -1;
        uint32_t enumeration = 0, count = 0;
        int32_t code = init_(&enumeration, &count);
        if (code == 0) {
            char name[DS_NAME_SIZE] = {};
            std::strncpy(name, server.c_str(), sizeof(name) - 1);
            code = byProduct_(enumeration, &index_, product, name, &info_);
            deinit_(enumeration);
        }
        unload_();
        return code;
    }

    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_ / "machine"};
    HMODULE module_ = nullptr;
    decltype(&KestDSLoad) load_ = nullptr;
    decltype(&KestDSUnLoad) unload_ = nullptr;
    decltype(&DSInitEnumServer) init_ = nullptr;
    decltype(&DSTblEnumServerByProductId) byProduct_ = nullptr;
    decltype(&DSDeInitEnumServer) deinit_ = nullptr;
    uint32_t index_ = 0;
    ProductInfo info_{};
};

TEST_F(DsloadTest, AnswersFromEveryAnnouncementOfTheServer) {
    EXPECT_EQ(Ask("BKSRV"), DS_FILE_NOT_FOUND);
    Announce("OTHER CORP 24 10.0.0.1 9 65");
    Announce("BKSRV CORP 85 10.0.0.2 9 70");
    Announce("BKSRV CORP 24 10.0.0.2 11 70,65");
    Announce("NOPROD CORP 24 10.0.0.3 9 -");

    EXPECT_EQ(Ask("BKSRV"), DS_OK);
    EXPECT_EQ(index_, 2u);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&info_)[29], 11);
    EXPECT_STREQ(info_.serverName, "BKSRV");
    EXPECT_EQ(Ask("bksrv"), DS_OK) << "names compare without letter case";
    EXPECT_EQ(Ask("BKSRV", 71), DS_NOT_FOUND);
    EXPECT_EQ(index_, 0u);
    EXPECT_EQ(info_.size, 0u) << "the result is zeroed when not found";
    EXPECT_EQ(Ask("NOPROD"), DS_NOT_FOUND);
    EXPECT_EQ(Ask("UNKNOWN"), DS_NOT_FOUND);
}

TEST_F(DsloadTest, EnumerationsNeedALoadedServiceAndEndWithTheLastUnload) {
    Announce("BKSRV CORP 24 10.0.0.2 9 65");
    uint32_t enumeration = 0;
    EXPECT_EQ(init_(&enumeration, nullptr), DS_NOT_READY);
    EXPECT_EQ(load_(1), DS_INVALID_PARAMETER);
    ASSERT_EQ(load_(0), 0);
    ASSERT_EQ(load_(0), 0);
    uint32_t count = 0;
    ASSERT_EQ(init_(&enumeration, &count), 0);
    EXPECT_EQ(count, 1u);
    char name[DS_NAME_SIZE] = "BKSRV";
    EXPECT_EQ(unload_(), 0);
    EXPECT_EQ(byProduct_(enumeration, &index_, 65, name, &info_), DS_OK) << "one load still holds";
    std::vector<char> full(DS_NAME_SIZE, 'B');  // no terminator: read no further than the buffer
    EXPECT_EQ(byProduct_(enumeration, &index_, 65, full.data(), &info_), DS_NOT_FOUND);
    EXPECT_EQ(byProduct_(enumeration, nullptr, 65, name, &info_), DS_INVALID_PARAMETER);
    EXPECT_EQ(unload_(), 0);
    EXPECT_EQ(byProduct_(enumeration, &index_, 65, name, &info_), DS_INVALID_HANDLE);
    EXPECT_EQ(deinit_(enumeration), DS_INVALID_HANDLE);
    EXPECT_EQ(unload_(), DS_NOT_READY);
}

}  // namespace
