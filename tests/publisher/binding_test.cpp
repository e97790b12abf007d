// Binding the KestOrb exports: a library lacking any one of the 41 names is
// not used at all, and nothing is called through an empty binding.
#include <gtest/gtest.h>

#include <string>

#include "platform/dynload.h"
#include "publisher/KestBinding.h"

namespace {

using publisher::CKestBinding;

std::string StubLibrary(const std::string& variant) {
    return std::string(PUBLISHER_STUB_DIR) + "/" + variant + "/KestOrb.DLL";
}

TEST(KestBinding, MissingLibraryAnswers4101) {
    CKestBinding binding;
    EXPECT_EQ(binding.Load("/nonexistent/KestOrb.DLL"), KESTORB_ERR_LOAD_LIBRARY);
    EXPECT_FALSE(binding.Bound());
}

TEST(KestBinding, LackingAnyOneOfTheNamesBindsNothing) {
    for (const char* name : publisher::kKestExportNames) {
        CKestBinding binding;
        EXPECT_EQ(binding.Load(StubLibrary(std::string("missing_") + name).c_str()),
                  KESTORB_ERR_GETPROCADDRESS)
            << name;
        EXPECT_FALSE(binding.Bound()) << name;
        UUID uuid{};
        int32_t count = 0;
        EXPECT_EQ(binding.OpenContext("repo", "", "", 0, 1), KESTORB_ERR_GETPROCADDRESS);
        EXPECT_EQ(binding.GetObjectUUID("LumoraVB", nullptr, &count, &uuid),
                  KESTORB_ERR_GETPROCADDRESS);
        EXPECT_EQ(binding.BPVDelete("view"), KESTORB_ERR_GETPROCADDRESS);
        EXPECT_FALSE(binding.HasContext());
    }
}

// The launcher's 39 names: a library lacking one of the two it never calls
// still binds, and those two answer 4102 without calling anything.
TEST(KestBinding, LauncherSetSkipsOnlyInclusionAndSanView) {
    int bound = 0;
    for (int i = 0; i < publisher::kKestExportCount; ++i) {
        const std::string name = publisher::kKestExportNames[i];
        CKestBinding binding;
        const int32_t rc = binding.Load(StubLibrary("missing_" + name).c_str(),
                                        publisher::KestExportSet::Launcher);
        const bool skipped =
            name == "KestBPVAddInclusionObject" || name == "KestBPVPopulateVLT_SAN";
        EXPECT_EQ(rc, skipped ? 0 : KESTORB_ERR_GETPROCADDRESS) << name;
        EXPECT_EQ(binding.Bound(), skipped) << name;
        if (!skipped) continue;
        ++bound;
        UUID uuid{};
        EXPECT_EQ(binding.BPVAddInclusionObject("view", "Vaultline", &uuid),
                  KESTORB_ERR_GETPROCADDRESS);
        ASSERT_EQ(binding.OpenContext("repo", "", "", 0, 1), 0) << name;
        EXPECT_EQ(binding.BPVAddInclusionObject("view", "Vaultline", &uuid),
                  KESTORB_ERR_GETPROCADDRESS);
    }
    EXPECT_EQ(bound, 2);
}

TEST(KestBinding, SecondContextClosesTheFirstAndReleaseClosesTheLast) {
    std::string path = StubLibrary("complete");
    // A handle of our own keeps the library (and its counters) loaded.
    HMODULE keep = LoadLibraryA(path.c_str());
    ASSERT_NE(keep, nullptr);
    auto* inits = reinterpret_cast<int32_t*>(GetProcAddress(keep, "StubInitCalls"));
    auto* deinits = reinterpret_cast<int32_t*>(GetProcAddress(keep, "StubDeInitCalls"));
    ASSERT_TRUE(inits != nullptr && deinits != nullptr);
    {
        CKestBinding binding;
        ASSERT_EQ(binding.Load(path.c_str()), 0);
        EXPECT_EQ(*inits, 0);
        ASSERT_EQ(binding.OpenContext("repo", "", "", 0, 1), 0);
        EXPECT_EQ(*deinits, 0);
        ASSERT_EQ(binding.OpenContext("repo", "", "", 0, 1), 0);
        EXPECT_EQ(*inits, 2);
        EXPECT_EQ(*deinits, 1);
        binding.Release();
        EXPECT_EQ(*deinits, 2);
        EXPECT_FALSE(binding.Bound());
        EXPECT_EQ(binding.DeInit(), KESTORB_ERR_GETPROCADDRESS);
    }
    EXPECT_EQ(*deinits, 2);
    FreeLibrary(keep);
}

}  // namespace
