#include "platform/dynload.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/platform/scratch_dir.h"

namespace {

using orbtest::ScratchDir;
using orbtest::ScopedEnv;

std::string ProbePath() { return orb::ProgramDirectory() + "/libOrbDynProbe.so"; }

int Call(HMODULE module, const char* name) {
    auto fn = reinterpret_cast<int (*)()>(GetProcAddress(module, name));
    return fn ? fn() : -1;
}

TEST(DynLoad, WindowsNameFindsLibraryBesideProgramInAnyLetterCase) {
    for (const char* name : {"ORBDYNPROBE.DLL", "orbdynprobe.dll", "OrbDynProbe"}) {
        HMODULE module = LoadLibraryA(name);
        ASSERT_NE(module, nullptr) << name;
        EXPECT_EQ(Call(module, "OrbDynProbeAnswer"), 42);
        EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
        EXPECT_TRUE(FreeLibrary(module));
    }
}

TEST(DynLoad, MissingLibraryFailsWithModNotFound) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("NoSuchLibraryAnywhere.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(orb::FindLibrary(""), "");
}

TEST(DynLoad, LoadsAreCountedOnOneHandle) {
    HMODULE first = LoadLibraryA("OrbDynProbe.dll");
    HMODULE second = LoadLibraryA("ORBDYNPROBE.DLL");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    int before = Call(first, "OrbDynProbeCount");
    EXPECT_TRUE(FreeLibrary(second));
    // Still loaded: the library keeps its state.
    EXPECT_EQ(Call(first, "OrbDynProbeCount"), before + 1);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetProcAddress(first, "OrbDynProbeAnswer"), nullptr);
}

TEST(DynLoad, NameWithDirectoryIsLoadedFromThereOnly) {
    ScratchDir dir;
    // The library lies beside the program, but not in the directory named.
    EXPECT_EQ(LoadLibraryA((dir / "OrbDynProbe.DLL").c_str()), nullptr);

    std::filesystem::copy_file(ProbePath(), dir / "OrbDynProbe.so");
    HMODULE module = LoadLibraryA((dir / "ORBDYNPROBE.DLL").c_str());
    ASSERT_NE(module, nullptr);
    char path[512];
    DWORD n = GetModuleFileNameA(module, path, sizeof(path));
    EXPECT_EQ(std::string(path, n), std::filesystem::canonical(dir / "OrbDynProbe.so").string());
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(DynLoad, BareNameIsSearchedAlongPath) {
    ScratchDir dir;
    std::filesystem::copy_file(ProbePath(), dir / "libPathOnlyProbe.so");
    EXPECT_EQ(orb::FindLibrary("PathOnlyProbe.DLL"), "");
    ScopedEnv path("PATH", "/nonexistent-dir::" + dir.path() + ":" + getenv("PATH"));
    EXPECT_EQ(orb::FindLibrary("PATHONLYPROBE.DLL"), dir / "libPathOnlyProbe.so");
    HMODULE module = LoadLibraryA("pathonlyprobe.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Call(module, "OrbDynProbeAnswer"), 42);
    FreeLibrary(module);
}

TEST(DynLoad, ModuleFileNameFollowsWin32BufferRules) {
    char path[512];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    ASSERT_GT(n, 0u);
    std::string full(path, n);
    EXPECT_EQ(full.substr(0, full.rfind('/')), orb::ProgramDirectory());

    char small[8];
    memset(small, 'x', sizeof(small));
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof(small)), sizeof(small));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small[sizeof(small) - 1], '\0');
    EXPECT_EQ(std::string(small), full.substr(0, sizeof(small) - 1));
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 0), 0u);
}

}  // namespace
