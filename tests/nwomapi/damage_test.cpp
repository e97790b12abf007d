// A repository file the database finds damaged: refused with the code
// callers see, and left as it is; and the modes of the files a repository is.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/nwomapi/repository_fixture.h"

namespace nwomapitest {
namespace {

constexpr const char* kPart = R"(
class Part
    uuid     uuid
    name     string
    count    integer
end
)";

std::string Contents(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class DamageTest : public RepositoryTest {
protected:
    std::string File() const { return root_->path() + "/orbmap/Test.orb.db"; }
};

// The last pages hold the newest rows of the class's table.
void DamageTail(const std::string& path) {
    const auto size = std::filesystem::file_size(path);
    ASSERT_GT(size, 4u * 4096);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(size - 3 * 4096));
    file.write(std::string(3 * 4096, 'Z').data(), 3 * 4096);
}

TEST_P(DamageTest, ADamagedFileIsRefusedAtConnectAndLeftAsItIs) {
    ASSERT_EQ(Import(kPart), 0);
    const std::string filler(200, 'f');
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(Create("Part", {Uuid("uuid", static_cast<uint8_t>(i)),
                                  Str("name", filler + std::to_string(i)), Int("count", i)}),
                  0);
    ASSERT_EQ(ORBOM_Repository_Disconnect(&conn_), 0);  // the last one: the WAL is folded in

    // Damaged before a connection: refused at once, whatever pages it would read.
    const std::string intact = Contents(File());
    DamageTail(File());
    const std::string damaged = Contents(File());
    ASSERT_TRUE(damaged != intact);
    EXPECT_EQ(ORBOM_Repository_Connect(kernel_, "Test", &conn_), ORBOM_RC_REPOSITORY_DAMAGED);
    EXPECT_EQ(conn_, 0u);
    EXPECT_TRUE(Contents(File()) == damaged);
}

TEST_P(DamageTest, RepositoryFilesAreTheOwnersAloneWhateverTheUmask) {
    const mode_t old = ::umask(0);
    ASSERT_EQ(ORBOM_Repository_Create(kernel_, "Open"), 0);
    ORBOM_CONNECTION open = 0;
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Open", &open), 0);
    ::umask(old);
    const std::string base = root_->path() + "/orbmap/Open.orb.db";
    for (const std::string& file : {base, base + "-wal", base + "-shm"})
        EXPECT_EQ(ModeOf(file), 0600u) << file;
    ORBOM_Repository_Disconnect(&open);
}

NWOMAPI_ON_SQLITE(DamageTest);

}  // namespace
}  // namespace nwomapitest
