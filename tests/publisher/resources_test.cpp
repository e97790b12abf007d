#include <gtest/gtest.h>

#include <regex>

#include "platform/dynload.h"
#include "platform/resource_media.h"
#include "platform/ui.h"

namespace {

// A resource library loaded by name for the length of one test.
class ResourceLibrary : public testing::Test {
  protected:
    explicit ResourceLibrary(const char* name) : name_(name) {}
    void SetUp() override {
        library_ = LoadLibraryA(name_);
        ASSERT_NE(library_, nullptr) << name_;
    }
    void TearDown() override {
        if (library_ != nullptr) FreeLibrary(library_);
    }
    std::string Text(unsigned id) {
        std::string text;
        EXPECT_TRUE(orb::LoadResourceText(library_, id, &text)) << id;
        return text;
    }
    const char* name_;
    HMODULE library_ = nullptr;
};

class NWOrbIntRes : public ResourceLibrary {
  protected:
    NWOrbIntRes() : ResourceLibrary("NWOrbIntRes.dll") {}
};

class NWOrbClsRes : public ResourceLibrary {
  protected:
    NWOrbClsRes() : ResourceLibrary("NWOrbClsRes.dll") {}
};

// The printf conversions of a text, in order ("%%" is not one).
std::string Conversions(const std::string& text) {
    std::string found;
    std::regex conversion("%[-+ #0]*[0-9]*(?:\\.[0-9]+)?(?:l|ll|h)?[a-zA-Z%]");
    for (std::sregex_iterator it(text.begin(), text.end(), conversion), end; it != end; ++it) {
        if (it->str() != "%%") found += it->str();
    }
    return found;
}

TEST_F(NWOrbIntRes, TextsHaveTheFormatsTheirCallersPass) {
    for (unsigned id = 1; id <= 25; ++id) {
        std::string text = Text(id);
        EXPECT_FALSE(text.empty()) << id;
        std::string expected = id == 3                  ? "%s"
                               : (id >= 12 && id <= 14) ? "%d"
                               : id == 15               ? "%u"
                                                        : "";
        EXPECT_EQ(Conversions(text), expected) << id << ": " << text;
    }
    std::string none;
    EXPECT_FALSE(orb::LoadResourceText(library_, 0, &none));
    EXPECT_FALSE(orb::LoadResourceText(library_, 26, &none));
}

TEST_F(NWOrbIntRes, Dialog102IsFoundByTheApplicationTitle) {
    std::string caption;
    ASSERT_TRUE(orb::LoadDialogCaption(library_, 102, &caption));
    EXPECT_EQ(caption, Text(24));

    orb::Dialog dialog;
    ASSERT_TRUE(dialog.LoadTemplate(library_, 102));
    EXPECT_EQ(dialog.Title(), Text(24));
    const struct {
        int id;
        orb::ControlKind kind;
    } expected[] = {{1, orb::ControlKind::Button},      {2, orb::ControlKind::Button},
                    {9, orb::ControlKind::Button},      {1002, orb::ControlKind::Text},
                    {1003, orb::ControlKind::Counter},  {1004, orb::ControlKind::Counter},
                    {1009, orb::ControlKind::CheckBox}, {1015, orb::ControlKind::CheckBox},
                    {1013, orb::ControlKind::CheckBox}, {1012, orb::ControlKind::Animation}};
    for (const auto& control : expected) {
        ASSERT_NE(dialog.Item(control.id), nullptr) << control.id;
        EXPECT_EQ(dialog.Item(control.id)->kind, control.kind) << control.id;
    }
    EXPECT_EQ(dialog.Controls().size(), std::size(expected));
    EXPECT_EQ(dialog.ItemText(1), Text(1));
    // Every button and check box can be reached by its own key, and so can
    // button 1 while it reads Stop (text 2).
    orb::Control stop = *dialog.Item(1);
    stop.text = Text(2);
    std::string keys(1, orb::AccessKey(stop));
    for (const orb::Control& control : dialog.Controls()) {
        if (control.kind != orb::ControlKind::Button &&
            control.kind != orb::ControlKind::CheckBox) {
            continue;
        }
        char key = orb::AccessKey(control);
        EXPECT_NE(key, 0) << control.id;
        EXPECT_EQ(keys.find(key), std::string::npos) << control.id << " repeats " << key;
        keys += key;
    }
    EXPECT_FALSE(dialog.LoadTemplate(library_, 103));
}

TEST_F(NWOrbIntRes, PicturesForIconDigitsAndAnimation) {
    EXPECT_FALSE(orb::LoadIconRows(library_, 128).empty());
    for (unsigned id = 130; id <= 139; ++id) {
        std::vector<std::string> rows = orb::LoadBitmapRows(library_, id);
        EXPECT_EQ(rows.size(), 3u) << id;
        for (const std::string& row : rows) EXPECT_EQ(row.size(), 3u) << id;
    }
    EXPECT_TRUE(orb::LoadBitmapRows(library_, 140).empty());
    EXPECT_GT(orb::LoadAnimationFrames(library_, 144).size(), 1u);
    EXPECT_TRUE(orb::LoadAnimationFrames(nullptr, 144).empty());
}

TEST_F(NWOrbClsRes, TextsOfTheLaunchersAndTheirFormats) {
    for (unsigned id : {1u, 12u, 13u, 20u, 21u, 22u, 23u, 24u}) {
        std::string text = Text(id);
        EXPECT_FALSE(text.empty()) << id;
        EXPECT_EQ(Conversions(text), id == 12 || id == 13 ? "%d" : "") << id << ": " << text;
    }
    std::string none;
    for (unsigned id : {0u, 2u, 11u, 14u, 19u, 25u}) {
        EXPECT_FALSE(orb::LoadResourceText(library_, id, &none)) << id;
    }
}

TEST_F(NWOrbClsRes, HostUpdateDialogIconAndDigits) {
    orb::Dialog dialog;
    ASSERT_TRUE(dialog.LoadTemplate(library_, 102));
    EXPECT_FALSE(dialog.Title().empty());
    const struct {
        int id;
        orb::ControlKind kind;
    } expected[] = {{1, orb::ControlKind::Button},      {2, orb::ControlKind::Button},
                    {1002, orb::ControlKind::Text},     {1003, orb::ControlKind::Counter},
                    {1004, orb::ControlKind::Counter},  {1008, orb::ControlKind::Text},
                    {1009, orb::ControlKind::CheckBox}};
    for (const auto& control : expected) {
        ASSERT_NE(dialog.Item(control.id), nullptr) << control.id;
        EXPECT_EQ(dialog.Item(control.id)->kind, control.kind) << control.id;
    }
    EXPECT_EQ(dialog.Controls().size(), std::size(expected));
    EXPECT_EQ(dialog.ItemText(1), Text(1));
    EXPECT_FALSE(dialog.LoadTemplate(library_, 103));

    EXPECT_FALSE(orb::LoadIconRows(library_, 128).empty());
    // The launcher's counters draw the same figures as the publisher's.
    HMODULE publisher = LoadLibraryA("NWOrbIntRes.dll");
    ASSERT_NE(publisher, nullptr);
    for (unsigned id = 130; id <= 139; ++id) {
        EXPECT_EQ(orb::LoadBitmapRows(library_, id).size(), 3u) << id;
        EXPECT_EQ(orb::LoadBitmapRows(library_, id), orb::LoadBitmapRows(publisher, id)) << id;
    }
    FreeLibrary(publisher);
}

}  // namespace
