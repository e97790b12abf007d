// The views a pass rebuilds and the deletion mode's sweep of the published
// classes.
#include "framework/nwomapi/nwomapi.h"
#include "publisher/DeleteObjects.h"
#include "tests/publisher/pass_fixture.h"

namespace {

using pubtest::PassTest;
using pubtest::Server;
using std::string;

const UUID kRoot = {0x7A1D44C2, 0x93E5, 0x11CF, {0xA2, 0xB8, 0x00, 0x40, 0xC9, 0x1F, 0x6E, 0x2D}};

uint32_t Views(kesttest::Repo& repo, const char* name) {
    return repo.Count("BusinessView", {{"name", string(name)}});
}

TEST_F(PassTest, WithoutTheOlderProductOnlyTheCurrentViewIsBuiltUnderTheRoot) {
    Support(-1);
    for (const char* old : {"Vaultline View", "VLO View", "LumoraEB View"}) {
        repo_.Add("BusinessView", {{"name", string(old)}});
    }
    Machine("Windows", "SRV1");
    UUID existing = repo_.Add("LumoraVB", {{"ServerName", string("ELSEWHERE")}});
    Announce({Server("SRV1", 24, "10.0.0.1")});
    ASSERT_TRUE(Pass());
    EXPECT_EQ(Views(repo_, "Vaultline View"), 0u);
    EXPECT_EQ(Views(repo_, "VLO View"), 0u);
    EXPECT_EQ(Views(repo_, "LumoraEB View"), 0u);
    ASSERT_EQ(Views(repo_, "Lumora Vaultline Backup"), 1u);
    UUID view = repo_.Uuid("BusinessView", {{"name", string("Lumora Vaultline Backup")}}, "uuid");
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", kRoot}, {"child_uuid", view}}), 1u);
    // Filled with what existed before the pass and what the pass published.
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", view}, {"child_uuid", existing}}), 1u);
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", view}}), 2u);
    EXPECT_EQ(LogCount("Business Process View Populated"), 1u);
    EXPECT_EQ(LogCount("Vaultline View Created"), 0u);
}

TEST_F(PassTest, WithTheOlderProductBothViewsAreBuilt) {
    orb::RegSetString(pubtest::kOlderProductKey, "HOME", "/opt/vl");
    UUID old = repo_.Add("Vaultline", {{"ServerName", string("OLD")}});
    std::vector<string> statuses;
    run_.onProgress = [&](publisher::PublishRun& run) { statuses.push_back(run.statusText); };
    ASSERT_TRUE(Pass());
    EXPECT_EQ(Views(repo_, "Lumora Vaultline Backup"), 1u);
    ASSERT_EQ(Views(repo_, "Vaultline View"), 1u);
    UUID view = repo_.Uuid("BusinessView", {{"name", string("Vaultline View")}}, "uuid");
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", view}, {"child_uuid", old}}), 1u);
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", kRoot}, {"child_uuid", view}}), 0u);
    EXPECT_EQ(LogCount("Business Process Vaultline View Populated"), 1u);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), publisher::UiText(run_.ui, 5));
}

TEST_F(PassTest, ContextThatCannotOpenFailsThePassAndForgetsTheRepository) {
    publisher::CPublisherWorker worker;
    run_.worker = &worker;
    run_.repositoryName = "no_such_repository";
    EXPECT_FALSE(publisher::PublishPass(worker, run_));
    EXPECT_NE(worker.lastResult, 0);
    EXPECT_EQ(run_.repositoryName, "");
    EXPECT_EQ(run_.statusText, publisher::UiText(run_.ui, 8));
    EXPECT_EQ(Views(repo_, "Lumora Vaultline Backup"), 0u);
}

TEST_F(PassTest, RunThreadReportsTheEndAndSetsDone) {
    publisher::CPublisherWorker worker;
    run_.worker = &worker;
    run_.repositoryName = kesttest::kRepository;
    int ended = -1;
    run_.onEnd = [&](int failed) { ended = failed; };
    {
        orb::Thread thread([this] { publisher::RunThread(&run_); });
        run_.start.Set();
        ASSERT_TRUE(run_.done.Wait(60000));
    }
    EXPECT_EQ(ended, 0);
    // A stop asked before the start ends the thread without a pass.
    ended = -1;
    orb::Thread second([this] { publisher::RunThread(&run_); });
    run_.stop.Set();
    run_.start.Set();
    ASSERT_TRUE(run_.done.Wait(60000));
    EXPECT_EQ(ended, -1);
}

class DeletionTest : public PassTest {
protected:
    publisher::PublisherUi Ui(bool answer) {
        publisher::PublisherUi ui;
        ui.confirm = [answer](const string&) { return answer; };
        ui.message = [this](const string& text) { messages_.push_back(text); };
        return ui;
    }
    std::vector<string> messages_;
};

TEST_F(DeletionTest, CancelDeletesNothing) {
    repo_.Add("LumoraVB", {});
    EXPECT_EQ(publisher::DeletePublishedObjects(kesttest::kRepository, Ui(false)), 0);
    EXPECT_EQ(repo_.Count("LumoraVB"), 1u);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DeletionTest, EveryClassIsSweptAndTheTotalIsWhatWent) {
    for (const char* cls : {"VLO", "LumoraVB", "LumoraVB"}) repo_.Add(cls, {});
    repo_.Add("LumoraEB", {});
    repo_.Add("Vaultline", {});
    ASSERT_EQ(publisher::DeletePublishedObjects(kesttest::kRepository, Ui(true)), 1);
    for (const char* cls : {"Vaultline", "VLO", "LumoraEB", "LumoraVB"}) {
        EXPECT_EQ(repo_.Count(cls), 0u) << cls;
    }
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], publisher::UiTextWith({}, 15, "5"));
    EXPECT_EQ(LogCount("There were 5 Lumora object(s) deleted successfully.\n"), 1u);

    // Nothing left: the other text, and still success.
    ASSERT_EQ(publisher::DeletePublishedObjects(kesttest::kRepository, Ui(true)), 1);
    EXPECT_EQ(messages_.back(), publisher::UiText({}, 17));
}

TEST_F(DeletionTest, AMissingFirstClassDoesNotShieldTheOthers) {
    // A repository whose class definitions lack "Vaultline".
    std::ifstream in(string(ORB_SOURCE_DIR) + "/tools/Lumora.orb");
    std::stringstream text;
    text << in.rdbuf();
    string classes = text.str();
    size_t from = classes.find("class Vaultline\n");
    ASSERT_NE(from, string::npos);
    classes.erase(from, classes.find("end\n", from) + 4 - from);
    ORBOM_CONNECTION connection = 0;
    ASSERT_EQ(ORBOM_Repository_Create(repo_.kernel(), "novault"), 0);
    ASSERT_EQ(ORBOM_Repository_Connect(repo_.kernel(), "novault", &connection), 0);
    uint32_t line = 0;
    ASSERT_EQ(ORBOM_Class_Import(connection, classes.c_str(),
                                 static_cast<uint32_t>(classes.size()), &line, nullptr, 0),
              0);
    for (const char* cls : {"VLO", "LumoraEB", "LumoraVB"}) {
        ORBOM_PROPLIST list = 0;
        ORBOM_PropertyList_Allocate(&list, 1);
        UUID uuid{};
        UuidCreate(&uuid);
        ORBOM_PropertyList_Add(list, "uuid", ORBOM_TYPE_UUID, 16, &uuid, 0);
        ASSERT_EQ(ORBOM_Object_Create(connection, cls, list), 0);
        ORBOM_PropertyList_Free(&list);
    }
    ASSERT_EQ(publisher::DeletePublishedObjects("novault", Ui(true)), 1);
    for (const char* cls : {"VLO", "LumoraEB", "LumoraVB"}) {
        uint32_t count = 9;
        EXPECT_EQ(ORBOM_Object_Delete(connection, cls, 0, &count), ORBOM_RC_NO_MATCH) << cls;
    }
    EXPECT_EQ(messages_.back(), publisher::UiTextWith({}, 15, "3"));
    ORBOM_Repository_Disconnect(&connection);
}

TEST_F(DeletionTest, ConnectionFailureIsShownAndStops) {
    EXPECT_EQ(publisher::DeletePublishedObjects("no_such_repository", Ui(true)), 0);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(LogCount("ORBOM_Repository_Connect Repository Fails! rc = "), 1u);
}

}  // namespace
