// A repository file the database finds damaged: the code callers see, no
// more writes into that file; and the modes of the files a repository is.
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
    ORBOM_RC SelectAll(uint32_t* count) {
        ORBOM_SELECTION s = 0;
        uint32_t classes = 0, props = 0;
        const ORBOM_RC rc =
            ORBOM_ObjectList_Select(conn_, "Part", 0, "*", 0, &s, count, &classes, &props);
        if (s) ORBOM_ObjectList_EndSelect(&s);
        return rc;
    }
    ORBOM_RC Delete(const std::vector<Prop>& criteria) {
        ORBOM_CRITERIA c = Criteria(criteria);
        uint32_t count = 0;
        const ORBOM_RC rc = ORBOM_Object_Delete(conn_, "Part", c, &count);
        ORBOM_Criteria_Free(&c);
        return rc;
    }
};

TEST_F(DamageTest, ADamagedFileAnswersSevenAndIsNotWrittenAgain) {
    ASSERT_EQ(Import(kPart), 0);
    const std::string filler(200, 'f');
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(Create("Part", {Uuid("uuid", static_cast<uint8_t>(i)),
                                  Str("name", filler + std::to_string(i)), Int("count", i)}),
                  0);
    ASSERT_EQ(ORBOM_Repository_Disconnect(&conn_), 0);  // the last one: the WAL is folded in

    // The last pages hold the newest rows of the class's table.
    const auto size = std::filesystem::file_size(File());
    ASSERT_GT(size, 4u * 4096);
    {
        std::fstream file(File(), std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(static_cast<std::streamoff>(size - 3 * 4096));
        file.write(std::string(3 * 4096, 'Z').data(), 3 * 4096);
    }
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Test", &conn_), 0);

    // Reading all of the class meets the damage; so would a write.
    uint32_t count = 0;
    ORBOM_RC rc = SelectAll(&count);
    if (rc == 0) rc = Create("Part", {Uuid("uuid", 0xEE), Str("name", "one more")});
    if (rc == 0) rc = Delete({});
    EXPECT_EQ(rc, ORBOM_RC_REPOSITORY_DAMAGED);
    char text[ORBOM_NATIVE_ERROR_SIZE] = {};
    int32_t native = 0;
    ASSERT_EQ(ORBOM_Repository_GetNativeError(conn_, text, sizeof text, &native), 0);
    EXPECT_NE(std::string(text).find("malformed"), std::string::npos) << text;

    // From now on nothing goes into the file, whatever the operation.
    const std::string kept = Contents(File());
    const std::string keptWal = Contents(File() + "-wal");
    EXPECT_EQ(Create("Part", {Uuid("uuid", 0xEF), Str("name", "new")}), 7);
    EXPECT_EQ(Delete({Int("count", 1)}), 7);
    ORBOM_CRITERIA c = Criteria({Int("count", 2)});
    ORBOM_PROPLIST l = Properties({Str("name", "renamed")});
    uint32_t updated = 0;
    EXPECT_EQ(ORBOM_Object_Update(conn_, "Part", c, l, &updated), 7);
    ORBOM_Criteria_Free(&c);
    ORBOM_PropertyList_Free(&l);
    EXPECT_EQ(Import("class Extra\n    uuid uuid\nend\n"), 7);
    EXPECT_EQ(Contents(File()), kept);
    EXPECT_EQ(Contents(File() + "-wal"), keptWal);
}

TEST_F(DamageTest, RepositoryFilesAreTheOwnersAloneWhateverTheUmask) {
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

}  // namespace
}  // namespace nwomapitest
