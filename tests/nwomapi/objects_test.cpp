// Objects through the client: values keep their types, the codes callers
// rely on (10, 14, 15, 16, 33, 34, 40, 41), and criteria semantics.
#include <cstring>

#include "tests/nwomapi/repository_fixture.h"

namespace nwomapitest {
namespace {

class ObjectsTest : public RepositoryTest {
protected:
    void SetUp() override {
        RepositoryTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_EQ(Import(kGadget), 0);
    }
    // Selects the one object matching criteria and returns its selection.
    ORBOM_SELECTION SelectOne(const std::vector<Prop>& criteria, ORBOM_OBJECT* object) {
        ORBOM_CRITERIA c = Criteria(criteria);
        ORBOM_SELECTION s = 0;
        uint32_t count = 0, classes = 0, props = 0;
        EXPECT_EQ(ORBOM_ObjectList_Select(conn_, "Gadget", c, "*", 0, &s, &count, &classes, &props), 0);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(props, 8u);
        EXPECT_EQ(ORBOM_ObjectList_GetNext(s, object, nullptr), ORBOM_RC_SUCCESS);
        ORBOM_Criteria_Free(&c);
        return s;
    }
};

TEST_P(ObjectsTest, EveryTypeReadsBackWithItsTypeAndLength) {
    const double ratio = 2.5;
    const int32_t on = 7;  // any non-zero is true, kept as 1
    ASSERT_EQ(Create("Gadget", {Uuid("uuid", 0xAB), Str("name", "alpha"), Int("count", -42),
                                {"ratio", ORBOM_TYPE_DOUBLE, std::string((const char*)&ratio, 8)},
                                {"on", ORBOM_TYPE_BOOLEAN, std::string((const char*)&on, 4)},
                                {"seen", ORBOM_TYPE_DATETIME, "2024-05-01 10:00:00"},
                                {"grade", ORBOM_TYPE_CHAR, "B"},
                                {"blob", ORBOM_TYPE_BINARY, std::string("\0\1\2", 3)}}),
              0);
    ORBOM_OBJECT o = 0;
    ORBOM_SELECTION s = SelectOne({Uuid("uuid", 0xAB)}, &o);

    struct Expect {
        const char* name;
        uint32_t type;
        uint32_t length;
        std::string bytes;
    };
    const int32_t count = -42, one = 1;
    for (const Expect& e : std::vector<Expect>{
             {"uuid", ORBOM_TYPE_UUID, 16, std::string(16, '\xAB')},
             {"name", ORBOM_TYPE_STRING, 5, "alpha"},
             {"count", ORBOM_TYPE_INTEGER, 4, std::string((const char*)&count, 4)},
             {"ratio", ORBOM_TYPE_DOUBLE, 8, std::string((const char*)&ratio, 8)},
             {"on", ORBOM_TYPE_BOOLEAN, 4, std::string((const char*)&one, 4)},
             {"seen", ORBOM_TYPE_DATETIME, 20, "2024-05-01 10:00:00"},  // length counts the zero
             {"grade", ORBOM_TYPE_CHAR, 1, "B"},
             {"blob", ORBOM_TYPE_BINARY, 3, std::string("\0\1\2", 3)}}) {
        uint32_t type = 99, length = 0;
        const void* value = nullptr;
        uint8_t isNull = 1;
        ASSERT_EQ(ORBOM_Object_GetProperty(o, e.name, &type, &length, &value, &isNull), 0) << e.name;
        EXPECT_EQ(type, e.type) << e.name;
        EXPECT_EQ(length, e.length) << e.name;
        EXPECT_EQ(isNull, 0) << e.name;
        EXPECT_EQ(std::string(static_cast<const char*>(value), e.bytes.size()), e.bytes) << e.name;
    }
    uint32_t type = 0;
    EXPECT_EQ(ORBOM_Object_GetProperty(o, "nosuch", &type, nullptr, nullptr, nullptr),
              ORBOM_RC_INVALID_PROPERTY);
    ORBOM_ObjectList_EndSelect(&s);
}

TEST_P(ObjectsTest, MissingAndNullPropertiesReadAsNull) {
    ASSERT_EQ(Create("Gadget", {Uuid("uuid", 1), Null("name", ORBOM_TYPE_STRING)}), 0);
    ORBOM_OBJECT o = 0;
    ORBOM_SELECTION s = SelectOne({Uuid("uuid", 1)}, &o);
    for (const char* name : {"name", "count", "blob"}) {
        const void* value = &o;
        uint8_t isNull = 0;
        uint32_t length = 9;
        ASSERT_EQ(ORBOM_Object_GetProperty(o, name, nullptr, &length, &value, &isNull), 0);
        EXPECT_EQ(isNull, 1) << name;
        EXPECT_EQ(value, nullptr) << name;
        EXPECT_EQ(length, 0u) << name;
    }
    ORBOM_ObjectList_EndSelect(&s);
    EXPECT_EQ(Names("Gadget", {Null("name", ORBOM_TYPE_STRING)}).size(), 1u);
}

TEST_P(ObjectsTest, BadClassPropertyTypeAndLengthAnswerTheirCodes) {
    EXPECT_EQ(Create("NoSuchClass", {Str("name", "x")}), ORBOM_RC_INVALID_CLASS);
    EXPECT_EQ(Create("Gadget", {Str("nosuch", "x")}), ORBOM_RC_INVALID_PROPERTY);
    EXPECT_EQ(Create("Gadget", {Int("name", 3)}), ORBOM_RC_DATATYPE_MISMATCH);

    ORBOM_PROPLIST l = 0;
    ASSERT_EQ(ORBOM_PropertyList_Allocate(&l, 2), 0);
    const int32_t v = 1;
    EXPECT_EQ(ORBOM_PropertyList_Add(l, "count", 99, 4, &v, 0), ORBOM_RC_INVALID_DATATYPE);
    EXPECT_EQ(ORBOM_PropertyList_Add(l, "count", ORBOM_TYPE_INTEGER, 2, &v, 0),
              ORBOM_RC_LENGTH_MISMATCH);
    EXPECT_EQ(ORBOM_PropertyList_Add(l, "bad name", ORBOM_TYPE_INTEGER, 4, &v, 0),
              ORBOM_RC_INVALID_PROPERTY);
    ORBOM_PropertyList_Free(&l);

    // A class name that is not an identifier never reaches the SQL text.
    EXPECT_EQ(Create("Gadget\"; DROP TABLE orb_class; --", {}), ORBOM_RC_INVALID_CLASS);
    EXPECT_EQ(Create("", {}), ORBOM_RC_MISSING_CLASS_NAME);
    EXPECT_EQ(Names("Gadget", {}).size(), 0u);

    ORBOM_CRITERIA c = Criteria({Int("name", 1)});
    ORBOM_SELECTION s = 0;
    uint32_t count = 0;
    EXPECT_EQ(ORBOM_ObjectList_Select(conn_, "Gadget", c, "*", 0, &s, &count, nullptr, nullptr),
              ORBOM_RC_DATATYPE_MISMATCH);
    EXPECT_EQ(s, 0u);
    ORBOM_Criteria_Free(&c);
}

TEST_P(ObjectsTest, GetNextSignalsMoreDataThenLastThenEnd) {
    for (const char* n : {"a", "b", "c"}) ASSERT_EQ(Create("Gadget", {Str("name", n)}), 0);
    ORBOM_SELECTION s = 0;
    uint32_t count = 0, classes = 0, props = 0;
    ASSERT_EQ(ORBOM_ObjectList_Select(conn_, "Gadget", 0, "name", 0, &s, &count, &classes, &props), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(props, 1u);
    ORBOM_OBJECT o = 0;
    uint32_t remaining = 0;
    EXPECT_EQ(ORBOM_ObjectList_GetNext(s, &o, &remaining), ORBOM_RC_MORE_DATA);
    EXPECT_EQ(remaining, 2u);
    const ORBOM_OBJECT first = o;
    // One property was selected; the others are not delivered.
    EXPECT_EQ(ORBOM_Object_GetProperty(o, "count", nullptr, nullptr, nullptr, nullptr),
              ORBOM_RC_INVALID_PROPERTY);
    EXPECT_EQ(ORBOM_ObjectList_GetNext(s, &o, &remaining), ORBOM_RC_MORE_DATA);
    // The previous object is gone once the next one is delivered.
    EXPECT_EQ(ORBOM_Object_GetProperty(first, "name", nullptr, nullptr, nullptr, nullptr),
              ORBOM_RC_INVALID_OBJECT);
    EXPECT_EQ(ORBOM_ObjectList_GetNext(s, &o, &remaining), ORBOM_RC_SUCCESS);
    EXPECT_EQ(remaining, 0u);
    EXPECT_EQ(ORBOM_ObjectList_GetNext(s, &o, &remaining), ORBOM_RC_END_OF_DATA);
    EXPECT_EQ(o, 0u);
    EXPECT_EQ(ORBOM_ObjectList_EndSelect(&s), 0);
    EXPECT_EQ(s, 0u);

    // No match is an empty selection, not an error.
    ORBOM_CRITERIA c = Criteria({Str("name", "zzz")});
    ASSERT_EQ(ORBOM_ObjectList_Select(conn_, "Gadget", c, "*", 0, &s, &count, &classes, &props), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(ORBOM_ObjectList_GetNext(s, &o, nullptr), ORBOM_RC_END_OF_DATA);
    ORBOM_ObjectList_EndSelect(&s);
    ORBOM_Criteria_Free(&c);
}

TEST_P(ObjectsTest, CriteriaCombineWithAndAndEmptyCriteriaMatchAll) {
    ASSERT_EQ(Create("Gadget", {Str("name", "a"), Int("count", 1)}), 0);
    ASSERT_EQ(Create("Gadget", {Str("name", "b"), Int("count", 1)}), 0);
    ASSERT_EQ(Create("Gadget", {Str("name", "a"), Int("count", 2)}), 0);
    EXPECT_EQ(Names("Gadget", {Str("name", "a"), Int("count", 2)}).size(), 1u);
    EXPECT_EQ(Names("Gadget", {Int("count", 1)}).size(), 2u);
    EXPECT_EQ(Names("Gadget", {Str("name", "a"), Str("name", "b")}).size(), 0u);
    EXPECT_EQ(Names("Gadget", {}).size(), 3u);

    // An allocated list with nothing added, or cleared, matches everything too.
    ORBOM_CRITERIA c = Criteria({Str("name", "a")});
    ASSERT_EQ(ORBOM_Criteria_Clear(c), 0);
    ORBOM_SELECTION s = 0;
    uint32_t count = 0;
    ASSERT_EQ(ORBOM_ObjectList_Select(conn_, "Gadget", c, "*", 0, &s, &count, nullptr, nullptr), 0);
    EXPECT_EQ(count, 3u);
    ORBOM_ObjectList_EndSelect(&s);

    uint32_t deleted = 0;
    EXPECT_EQ(ORBOM_Object_Delete(conn_, "Gadget", c, &deleted), 0);
    EXPECT_EQ(deleted, 3u);
    EXPECT_EQ(ORBOM_Object_Delete(conn_, "Gadget", c, &deleted), ORBOM_RC_NO_MATCH);
    EXPECT_EQ(deleted, 0u);
    EXPECT_EQ(ORBOM_Object_Delete(conn_, "NoSuchClass", c, &deleted), ORBOM_RC_INVALID_CLASS);
    ORBOM_Criteria_Free(&c);
}

TEST_P(ObjectsTest, UpdateChangesOnlyMatchesAndCounts) {
    ASSERT_EQ(Create("Gadget", {Str("name", "a"), Int("count", 1)}), 0);
    ASSERT_EQ(Create("Gadget", {Str("name", "b"), Int("count", 1)}), 0);
    ORBOM_CRITERIA c = Criteria({Str("name", "a")});
    // The later of two values for one property wins.
    ORBOM_PROPLIST l = Properties({Int("count", 5), Int("count", 9)});
    uint32_t updated = 0;
    EXPECT_EQ(ORBOM_Object_Update(conn_, "Gadget", c, l, &updated), 0);
    EXPECT_EQ(updated, 1u);
    EXPECT_EQ(Names("Gadget", {Int("count", 9)}), std::vector<std::string>{"a"});
    EXPECT_EQ(Names("Gadget", {Int("count", 1)}), std::vector<std::string>{"b"});
    ORBOM_Criteria_Free(&c);

    c = Criteria({Str("name", "nobody")});
    EXPECT_EQ(ORBOM_Object_Update(conn_, "Gadget", c, l, &updated), ORBOM_RC_NO_MATCH);
    EXPECT_EQ(updated, 0u);
    ORBOM_Criteria_Free(&c);
    ORBOM_PropertyList_Free(&l);
}

// Deleting objects takes the links naming them, as parent or child, and
// only those, in the same write.
TEST_P(ObjectsTest, DeletingObjectsDeletesTheirLinksAndNoOthers) {
    ASSERT_EQ(Create("Unix", {Uuid("uuid", 1), Str("name", "parent")}), 0);
    ASSERT_EQ(Create("Unix", {Uuid("uuid", 2), Str("name", "child")}), 0);
    ASSERT_EQ(Create("Unix", {Uuid("uuid", 3), Str("name", "other")}), 0);
    auto link = [&](uint8_t parent, uint8_t child, const std::string& childClass) {
        return Create("Inclusion", {Uuid("uuid", static_cast<uint8_t>(0x40 + parent * 4 + child)),
                                    Uuid("parent_uuid", parent), Str("parent_class", "Unix"),
                                    Uuid("child_uuid", child), Str("child_class", childClass),
                                    Int("child_sequence_no", 0)});
    };
    ASSERT_EQ(link(1, 2, "Unix"), 0);
    ASSERT_EQ(link(2, 3, "Unix"), 0);
    ASSERT_EQ(link(3, 1, "Unix"), 0);
    // Same uuid, another class: not a link of these objects.
    ASSERT_EQ(link(3, 2, "Gadget"), 0);
    auto links = [&] { return Names("Inclusion", {}, "child_class").size(); };
    ASSERT_EQ(links(), 4u);

    ORBOM_CRITERIA c = Criteria({Str("name", "child")});
    uint32_t deleted = 0;
    ASSERT_EQ(ORBOM_Object_Delete(conn_, "Unix", c, &deleted), 0);
    ORBOM_Criteria_Free(&c);
    EXPECT_EQ(deleted, 1u);
    EXPECT_EQ(links(), 2u);
    EXPECT_EQ(Names("Inclusion", {Uuid("child_uuid", 1)}, "parent_class").size(), 1u);
    EXPECT_EQ(Names("Inclusion", {Str("child_class", "Gadget")}, "parent_class").size(), 1u);
}

NWOMAPI_ON_BOTH(ObjectsTest);

}  // namespace
}  // namespace nwomapitest
