// Business process views: idempotent create, populate and member changes.
#include <gtest/gtest.h>

#include "tests/kestorb/repo_fixture.h"

namespace {

using kesttest::SameUuid;
using std::string;

class ViewTest : public kesttest::RepoTest {
protected:
    void SetUp() override {
        RepoTest::SetUp();
        Open();
        ASSERT_EQ(KestBPVCreate(ctx_, "VLO View", &view_), 0);
    }
    uint32_t Members(const char* cls) {
        return repo_.Count("Inclusion", {{"parent_uuid", view_},
                                         {"parent_class", string("BusinessView")},
                                         {"child_class", string(cls)}});
    }
    UUID view_{};
};

TEST_F(ViewTest, CreateFindsAnExistingView) {
    UUID again{};
    EXPECT_EQ(KestBPVCreate(ctx_, "VLO View", &again), 0);
    EXPECT_TRUE(SameUuid(again, view_));
    EXPECT_EQ(KestBPVCreate(ctx_, "VLO View", nullptr), 0);
    EXPECT_EQ(repo_.Count("BusinessView", {{"name", string("VLO View")}}), 1u);
    EXPECT_EQ(repo_.Text("BusinessView", view_, "label"), "VLO View");

    ASSERT_EQ(KestBPVDelete(ctx_, "VLO View"), 0);
    EXPECT_EQ(repo_.Count("BusinessView"), 0u);
    EXPECT_EQ(KestBPVDelete(ctx_, "VLO View"), ORBOM_RC_NO_MATCH);
    EXPECT_EQ(KestBPVPopulate(ctx_, "VLO View", "Vaultline"), ORBOM_RC_NO_MATCH);
}

TEST_F(ViewTest, PopulateReplacesTheClassMembers) {
    UUID a = repo_.Add("Vaultline", {{"name", string("a")}});
    repo_.Add("Vaultline", {{"name", string("b")}});
    UUID other = repo_.Add("LumoraVB", {{"name", string("c")}});
    ASSERT_EQ(KestBPVAddObject(ctx_, "VLO View", "LumoraVB", &other), 0);
    ASSERT_EQ(KestBPVPopulate(ctx_, "VLO View", "Vaultline"), 0);
    ASSERT_EQ(KestBPVPopulate(ctx_, "VLO View", "Vaultline"), 0);
    EXPECT_EQ(Members("Vaultline"), 2u);
    EXPECT_EQ(Members("LumoraVB"), 1u);
    EXPECT_EQ(repo_.Count("Inclusion", {{"child_uuid", a}}), 1u);
    // An empty class leaves the view without members of it, successfully.
    EXPECT_EQ(KestBPVPopulate(ctx_, "VLO View", "VLO"), 0);
}

TEST_F(ViewTest, SingleMembersAreAddedOnceAndRemoved) {
    UUID a = repo_.Add("Vaultline", {{"name", string("a")}});
    UUID b = repo_.Add("Vaultline", {{"name", string("b")}});
    ASSERT_EQ(KestBPVAddObject(ctx_, "VLO View", "Vaultline", &a), 0);
    ASSERT_EQ(KestBPVAddObject(ctx_, "VLO View", "Vaultline", &a), 0);
    EXPECT_EQ(Members("Vaultline"), 1u);
    EXPECT_EQ(KestBPVDeleteObject(ctx_, "VLO View", "Vaultline", &b), ORBOM_RC_NO_MATCH);
    ASSERT_EQ(KestBPVDeleteObject(ctx_, "VLO View", "Vaultline", &a), 0);
    EXPECT_EQ(Members("Vaultline"), 0u);
    EXPECT_EQ(KestBPVAddObject(ctx_, "No View", "Vaultline", &a), ORBOM_RC_NO_MATCH);
}

TEST_F(ViewTest, ObjectsAreHungUnderTheRootOnce) {
    const UUID root = {0x7A1D44C2, 0x93E5, 0x11CF, {0xA2, 0xB8, 0x00, 0x40, 0xC9, 0x1F, 0x6E, 0x2D}};
    ASSERT_EQ(KestBPVAddInclusionObject(ctx_, "VLO View", "BusinessView", &view_), 0);
    ASSERT_EQ(KestBPVAddInclusionObject(ctx_, "VLO View", "BusinessView", &view_), 0);
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", root},
                                        {"parent_class", string("ManagedObjectRoot")},
                                        {"child_uuid", view_}}),
              1u);
}

}  // namespace
