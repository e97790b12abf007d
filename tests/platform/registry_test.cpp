#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sync.h"
#include "tests/platform/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

class RegistryTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (HKEY key : open_) RegCloseKey(key);
    }
    HKEY Create(const char* path, REGSAM sam = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, sam, nullptr, &key,
                                  disposition),
                  ERROR_SUCCESS);
        open_.push_back(key);
        return key;
    }
    LONG Open(const char* path, HKEY* key, REGSAM sam = KEY_READ) {
        LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, sam, key);
        if (rc == ERROR_SUCCESS) open_.push_back(*key);
        return rc;
    }
    static LONG SetString(HKEY key, const char* name, const char* text) {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                              static_cast<DWORD>(strlen(text) + 1));
    }
    std::string Hive() const { return dir_ / "registry.db"; }

    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_.path()};
    std::vector<HKEY> open_;
};

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirSpelling) {
    DWORD disposition = 0;
    HKEY key = Create("SOFTWARE\\Lumora\\OrbIntegration", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, DWORD{REG_CREATED_NEW_KEY});
    Create("software\\LUMORA\\orbintegration", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, DWORD{REG_OPENED_EXISTING_KEY});
    ASSERT_EQ(SetString(key, "LogDir", "/var/log"), ERROR_SUCCESS);

    HKEY other;
    ASSERT_EQ(Open("\\Software\\\\lumora\\ORBINTEGRATION\\", &other), ERROR_SUCCESS);
    char data[32];
    DWORD size = sizeof data, type = 0;
    ASSERT_EQ(
        RegQueryValueExA(other, "LOGDIR", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_SZ});
    EXPECT_STREQ(data, "/var/log");

    char name[32];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumValueA(other, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "LogDir");
    std::string stored;
    ASSERT_EQ(orb::RegStoredPath("software\\lumora", &stored), ERROR_SUCCESS);
    EXPECT_EQ(stored, "SOFTWARE\\Lumora");
}

TEST_F(RegistryTest, QueryFollowsWin32BufferRules) {
    HKEY key = Create("K");
    // Counted without its terminator: stored with one all the same.
    ASSERT_EQ(RegSetValueExA(key, "s", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcd"), 4),
              ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(type, DWORD{REG_SZ});

    char data[8];
    std::memset(data, '#', sizeof data);
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::string(data, sizeof data), std::string(8, '#'));

    EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(data, 6), std::string("abcd\0#", 6));

    EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, nullptr, reinterpret_cast<BYTE*>(data), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "none", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);

    // The default value has no name, given as null or "".
    ASSERT_EQ(SetString(key, nullptr, "dflt"), ERROR_SUCCESS);
    size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(data, "dflt");
}

TEST_F(RegistryTest, EnumerationsByIndex) {
    HKEY key = Create("Root");
    for (const char* sub : {"charlie", "Alpha", "bravo"}) {
        HKEY child;
        ASSERT_EQ(
            RegCreateKeyExA(key, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
            ERROR_SUCCESS);
        RegCloseKey(child);
    }
    std::vector<std::string> names;
    char name[16];
    DWORD length = sizeof name;
    for (DWORD i = 0;
         RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = sizeof name) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "bravo", "charlie"}));
    length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 3, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    length = 5;  // "charlie" needs 8
    EXPECT_EQ(RegEnumKeyExA(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(length, 8u);

    // Values keep the order they were first set in, also when overwritten.
    DWORD one = 1;
    for (const char* value : {"z", "a", "m"}) {
        ASSERT_EQ(RegSetValueExA(key, value, 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
                  ERROR_SUCCESS);
    }
    ASSERT_EQ(SetString(key, "Z", "now a string"), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, "z");
    EXPECT_EQ(type, DWORD{REG_SZ});
    EXPECT_EQ(size, 13u);
    BYTE small[4];
    size = sizeof small;
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 13u);
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 3, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, DeletedKeysAndBadHandles) {
    HKEY parent = Create("A");
    HKEY child = Create("A\\B\\C");
    ASSERT_EQ(SetString(child, "v", "x"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "a"), ERROR_SUCCESS);

    HKEY gone;
    EXPECT_EQ(Open("A\\B", &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(gone, nullptr);
    EXPECT_EQ(SetString(child, "v", "y"), ERROR_KEY_DELETED);
    // A new key of the same name is not the deleted one.
    Create("A\\B\\C");
    EXPECT_EQ(RegQueryValueExA(child, "v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyA(parent, "B"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);

    HKEY key = Create("D");
    open_.pop_back();
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetString(key, "v", "x"), ERROR_INVALID_HANDLE);
    int notAKey = 0;
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(&notAKey)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

    HKEY readOnly;
    ASSERT_EQ(Open("D", &readOnly, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(SetString(readOnly, "v", "x"), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryTest, BadInputChangesNothing) {
    HKEY key = Create("K");
    DWORD value = 7;
    EXPECT_EQ(RegSetValueExA(key, "d", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 3),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "d", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetString(key, std::string(ORB_REG_MAX_VALUE_NAME + 1, 'n').c_str(), "x"),
              ERROR_FILENAME_EXCED_RANGE);

    // 255 characters below the hive fit; one more does not, even as a subkey.
    const std::string fits = "K\\" + std::string(ORB_REG_MAX_KEY_PATH - 2, 'p');
    HKEY deep;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (fits + "x").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &deep, nullptr),
              ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(RegCreateKeyExA(key, (fits.substr(2) + "x").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &deep, nullptr),
              ERROR_FILENAME_EXCED_RANGE);
    std::vector<std::string> subkeys;
    ASSERT_EQ(orb::RegReadSubkeys("K", &subkeys), ERROR_SUCCESS);
    EXPECT_TRUE(subkeys.empty());
    Create(fits.c_str());
    std::vector<orb::RegValue> values;
    ASSERT_EQ(orb::RegReadValues("K", &values), ERROR_SUCCESS);
    EXPECT_TRUE(values.empty());
}

TEST_F(RegistryTest, MissingHiveReadsEmptyAndDamagedHiveIsKept) {
    HKEY key;
    EXPECT_EQ(Open("SOFTWARE", &key), ERROR_FILE_NOT_FOUND);
    char name[8];
    DWORD length = sizeof name;
    EXPECT_EQ(
        RegEnumKeyExA(HKEY_LOCAL_MACHINE, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
        ERROR_NO_MORE_ITEMS);
    EXPECT_FALSE(fs::exists(Hive()));

    const std::string garbage(8192, 'G');
    std::ofstream(Hive(), std::ios::binary) << garbage;
    EXPECT_EQ(Open("SOFTWARE", &key), ERROR_BADDB);
    EXPECT_EQ(orb::RegSetDword("SOFTWARE", "x", 1), ERROR_BADDB);
    std::stringstream kept;
    kept << std::ifstream(Hive(), std::ios::binary).rdbuf();
    EXPECT_EQ(kept.str(), garbage);
}

std::string Contents(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

TEST_F(RegistryTest, EmptyOrOverwrittenHivesAreDamagedForEveryCallAndKept) {
    EXPECT_EQ(orb::RegCheckHive(), ERROR_SUCCESS);  // none yet: nothing to check
    EXPECT_FALSE(fs::exists(Hive()));

    // An empty file is not a new hive: it is what a damaged one left.
    std::ofstream(Hive(), std::ios::binary).flush();
    HKEY key;
    EXPECT_EQ(orb::RegCheckHive(), ERROR_BADDB);
    EXPECT_EQ(Open("SOFTWARE", &key), ERROR_BADDB);
    EXPECT_EQ(orb::RegSetDword("SOFTWARE", "x", 1), ERROR_BADDB);
    EXPECT_EQ(fs::file_size(Hive()), 0u);
    fs::remove(Hive());

    // A working hive whose header was overwritten afterwards.
    ASSERT_EQ(orb::RegSetString("SOFTWARE\\A", "v", "text"), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegCheckHive(), ERROR_SUCCESS);
    // Written as another process finds it: a new file in the hive's place.
    std::string damaged = Contents(Hive());
    damaged.replace(0, 100, std::string(100, 'X'));
    std::ofstream(Hive() + ".new", std::ios::binary) << damaged;
    fs::rename(Hive() + ".new", Hive());
    fs::remove(Hive() + "-wal");
    fs::remove(Hive() + "-shm");
    EXPECT_EQ(orb::RegCheckHive(), ERROR_BADDB);
    std::string text;
    EXPECT_EQ(orb::RegGetString("SOFTWARE\\A", "v", &text), ERROR_BADDB);
    EXPECT_EQ(orb::RegSetDword("SOFTWARE", "x", 1), ERROR_BADDB);
    EXPECT_EQ(Contents(Hive()), damaged);
    EXPECT_STREQ(orb::RegErrorText(ERROR_BADDB), "the registry hive is damaged");
}

size_t OpenFiles() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

TEST_F(RegistryTest, MachineRootsComeAndGo) {
    ASSERT_EQ(orb::RegSetDword("K", "v", 1), ERROR_SUCCESS);
    // A root made anew is not served from the old one's connection.
    fs::remove_all(dir_.path());
    fs::create_directories(dir_.path());
    DWORD value = 0;
    EXPECT_EQ(orb::RegGetDword("K", "v", &value), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(orb::RegSetDword("K", "v", 2), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegGetDword("K", "v", &value), ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);

    // One root per test, hundreds of tests: open files stay bounded.
    const size_t before = OpenFiles();
    for (int i = 0; i < 30; ++i) {
        orbtest::ScopedEnv root("ORB_MACHINE_ROOT", dir_ / ("m" + std::to_string(i)));
        ASSERT_EQ(orb::RegSetDword("K", "v", i), ERROR_SUCCESS);
    }
    EXPECT_LT(OpenFiles(), before + 40);
}

TEST_F(RegistryTest, ConnectRegistryOpensTheOtherMachinesRoot) {
    orbtest::ScratchDir machines;
    orbtest::ScopedEnv root("ORB_MACHINE_ROOT", machines / "HERE");
    orbtest::ScopedEnv name("ORB_COMPUTERNAME", "HERE");
    fs::create_directories(machines / "HERE");
    fs::create_directories(machines / "there");
    ASSERT_EQ(orb::RegSetString("SOFTWARE\\Who", "Name", "here"), ERROR_SUCCESS);

    HKEY remote, local, key;
    EXPECT_EQ(RegConnectRegistryA("\\\\NOWHERE", HKEY_LOCAL_MACHINE, &remote), ERROR_BAD_NETPATH);
    ASSERT_EQ(RegConnectRegistryA("\\\\THERE", HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS);
    open_.push_back(remote);
    ASSERT_EQ(RegCreateKeyExA(remote, "SOFTWARE\\Who", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    open_.push_back(key);
    ASSERT_EQ(SetString(key, "Name", "there"), ERROR_SUCCESS);
    EXPECT_TRUE(fs::exists(machines / "there/registry.db"));

    ASSERT_EQ(RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &local), ERROR_SUCCESS);
    open_.push_back(local);
    ASSERT_EQ(RegOpenKeyExA(local, "SOFTWARE\\Who", 0, KEY_READ, &key), ERROR_SUCCESS);
    open_.push_back(key);
    char data[16];
    DWORD size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(data, "here");
}

TEST_F(RegistryTest, ConvenienceCallsAndTypes) {
    ASSERT_EQ(orb::RegSetMultiString("K", "empty", {}), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetMultiString("K", "two", {"a", "bc"}), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword("K", "all", 0xFFFFFFFFu), ERROR_SUCCESS);
    orb::RegValue value;
    ASSERT_EQ(orb::RegReadValue("K", "EMPTY", &value), ERROR_SUCCESS);
    EXPECT_EQ(value.data, std::vector<BYTE>{0});
    ASSERT_EQ(orb::RegReadValue("K", "two", &value), ERROR_SUCCESS);
    EXPECT_EQ(value.data, (std::vector<BYTE>{'a', 0, 'b', 'c', 0, 0}));

    std::string text;
    DWORD number = 0;
    EXPECT_EQ(orb::RegGetString("K", "all", &text), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(orb::RegGetDword("K", "two", &number), ERROR_UNSUPPORTED_TYPE);
    ASSERT_EQ(orb::RegGetDword("K", "all", &number), ERROR_SUCCESS);
    EXPECT_EQ(number, 0xFFFFFFFFu);
    EXPECT_EQ(orb::RegGetString("Nope", "x", &text), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ExportShowsTheSubtree) {
    ASSERT_EQ(orb::RegSetString("S\\App", "", "tab\there"), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetMultiString("S\\App", "List", {"x", "y"}), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegWriteValue("S\\App\\Sub", {"Bin", REG_BINARY, {0x00, 0xAB}}), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword("Other", "n", 1), ERROR_SUCCESS);
    std::string text;
    ASSERT_EQ(orb::RegExportText("s\\app", &text), ERROR_SUCCESS);
    EXPECT_EQ(text,
              "[HKLM\\S\\App]\n"
              "(Default)\tREG_SZ\ttab\\there\n"
              "List\tREG_MULTI_SZ\tx\\0y\n"
              "\n"
              "[HKLM\\S\\App\\Sub]\n"
              "Bin\tREG_BINARY\t00ab\n"
              "\n");
    EXPECT_EQ(orb::RegExportText("S\\None", &text), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ThreadsWritingAtOnceLoseNothing) {
    constexpr int kThreads = 4, kValues = 100;
    std::vector<orb::Thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kValues; ++i) {
                orb::RegSetDword("Shared", "t" + std::to_string(t) + "_" + std::to_string(i), i);
            }
        });
    }
    for (auto& writer : writers) writer.Join();
    std::vector<orb::RegValue> values;
    ASSERT_EQ(orb::RegReadValues("Shared", &values), ERROR_SUCCESS);
    EXPECT_EQ(values.size(), size_t{kThreads * kValues});
}

}  // namespace
