// A machine root with one repository holding the framework's and the backup
// product's classes, and direct repository helpers to set up and check what
// the library did (through the client, not through the code under test).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <variant>

#include "framework/nwomapi/nwomapi.h"
#include "kestorb/KestOrb.h"
#include "platform/uuid.h"
#include "tests/platform/scratch_dir.h"

namespace kesttest {

inline constexpr const char* kRepository = "orbtest";

// A property for a create or a criterion: text, integer or UUID.
struct Prop {
    const char* name;
    std::variant<std::string, int32_t, UUID> value;
};

class Repo {
public:
    Repo() {
        EXPECT_EQ(ORBOM_Kernel_Start("kesttest", &kernel_, 0), 0);
    }
    ~Repo() {
        if (connection_ != 0) ORBOM_Repository_Disconnect(&connection_);
        ORBOM_Kernel_Stop(&kernel_);
    }
    Repo(const Repo&) = delete;
    Repo& operator=(const Repo&) = delete;

    // Creates the repository (with the backup product's classes) and connects.
    void Create(const char* name = kRepository) {
        ASSERT_EQ(ORBOM_Repository_Create(kernel_, name), 0);
        ASSERT_EQ(ORBOM_Repository_Connect(kernel_, name, &connection_), 0);
        std::ifstream in(std::string(ORB_SOURCE_DIR) + "/tools/Lumora.orb");
        std::stringstream text;
        text << in.rdbuf();
        std::string classes = text.str();
        uint32_t line = 0;
        char message[256] = {};
        ASSERT_EQ(ORBOM_Class_Import(connection_, classes.c_str(),
                                     static_cast<uint32_t>(classes.size()), &line, message,
                                     sizeof message),
                  0)
            << message << " line " << line;
    }
    ORBOM_KERNEL kernel() const { return kernel_; }
    ORBOM_CONNECTION connection() const { return connection_; }

    UUID Add(const char* cls, std::initializer_list<Prop> props) {
        UUID uuid{};
        UuidCreate(&uuid);
        AddAs(cls, uuid, props);
        return uuid;
    }
    void AddAs(const char* cls, const UUID& uuid, std::initializer_list<Prop> props) {
        ORBOM_PROPLIST list = 0;
        ORBOM_PropertyList_Allocate(&list, static_cast<uint32_t>(props.size() + 1));
        ORBOM_PropertyList_Add(list, "uuid", ORBOM_TYPE_UUID, 16, &uuid, 0);
        for (const Prop& p : props) AddValue(p, [&](uint32_t type, uint32_t len, const void* v) {
                ORBOM_PropertyList_Add(list, p.name, type, len, v, 0);
            });
        EXPECT_EQ(ORBOM_Object_Create(connection_, cls, list), 0) << cls;
        ORBOM_PropertyList_Free(&list);
    }

    // Objects of cls matching every criterion.
    uint32_t Count(const char* cls, std::initializer_list<Prop> criteria = {}) {
        ORBOM_CRITERIA list = Criteria(criteria);
        ORBOM_SELECTION selection = 0;
        uint32_t count = 0, classes = 0, properties = 0;
        int32_t rc = ORBOM_ObjectList_Select(connection_, cls, list, "*", 0, &selection, &count,
                                             &classes, &properties);
        if (list != 0) ORBOM_Criteria_Free(&list);
        if (rc != 0) return 0;
        ORBOM_ObjectList_EndSelect(&selection);
        return count;
    }

    // One property of the first matching object, as text or integer.
    std::string Text(const char* cls, const UUID& uuid, const char* property) {
        std::string out;
        Read(cls, uuid, property, [&](const void* v, uint32_t len) {
            out.assign(static_cast<const char*>(v), len);
        });
        return out;
    }
    int32_t Int(const char* cls, std::initializer_list<Prop> criteria, const char* property) {
        int32_t out = -1;
        ReadWhere(cls, Criteria(criteria), property,
                  [&](const void* v, uint32_t) { std::memcpy(&out, v, 4); });
        return out;
    }
    UUID Uuid(const char* cls, std::initializer_list<Prop> criteria, const char* property) {
        UUID out{};
        ReadWhere(cls, Criteria(criteria), property,
                  [&](const void* v, uint32_t) { std::memcpy(&out, v, 16); });
        return out;
    }
    int32_t Int(const char* cls, const UUID& uuid, const char* property) {
        return Int(cls, {{"uuid", uuid}}, property);
    }

private:
    template <typename Sink>
    static void AddValue(const Prop& p, Sink sink) {
        if (auto* s = std::get_if<std::string>(&p.value)) {
            sink(ORBOM_TYPE_STRING, static_cast<uint32_t>(s->size()), s->c_str());
        } else if (auto* i = std::get_if<int32_t>(&p.value)) {
            sink(ORBOM_TYPE_INTEGER, 4, i);
        } else {
            sink(ORBOM_TYPE_UUID, 16, &std::get<UUID>(p.value));
        }
    }
    static ORBOM_CRITERIA Criteria(std::initializer_list<Prop> criteria) {
        if (criteria.size() == 0) return 0;
        ORBOM_CRITERIA list = 0;
        ORBOM_Criteria_Allocate(&list, static_cast<uint32_t>(criteria.size()));
        for (const Prop& p : criteria) AddValue(p, [&](uint32_t type, uint32_t len, const void* v) {
                ORBOM_Criteria_Add(list, p.name, type, len, v, ORBOM_OP_EQUAL, ORBOM_CONNECT_AND);
            });
        return list;
    }
    template <typename Sink>
    void Read(const char* cls, const UUID& uuid, const char* property, Sink sink) {
        ReadWhere(cls, Criteria({{"uuid", uuid}}), property, sink);
    }
    template <typename Sink>
    void ReadWhere(const char* cls, ORBOM_CRITERIA list, const char* property, Sink sink) {
        ORBOM_SELECTION selection = 0;
        uint32_t count = 0, classes = 0, properties = 0;
        ORBOM_OBJECT object = 0;
        if (ORBOM_ObjectList_Select(connection_, cls, list, "*", 0, &selection, &count, &classes,
                                    &properties) == 0) {
            if (count > 0 && ORBOM_ObjectList_GetNext(selection, &object, nullptr) <= 14) {
                uint32_t type = 0, length = 0;
                const void* value = nullptr;
                uint8_t isNull = 0;
                if (ORBOM_Object_GetProperty(object, property, &type, &length, &value, &isNull) ==
                        0 &&
                    isNull == 0) {
                    sink(value, length);
                }
            }
            ORBOM_ObjectList_EndSelect(&selection);
        }
        if (list != 0) ORBOM_Criteria_Free(&list);
    }

    ORBOM_KERNEL kernel_ = 0;
    ORBOM_CONNECTION connection_ = 0;
};

inline bool SameUuid(const UUID& a, const UUID& b) { return std::memcmp(&a, &b, 16) == 0; }

inline KestMachineRecord Machine(const char* cls, const char* name) {
    KestMachineRecord record{};
    record.size = sizeof record;
    std::strncpy(record.machineClass, cls, sizeof record.machineClass - 1);
    std::strncpy(record.machineName, name, sizeof record.machineName - 1);
    return record;
}

// A private machine root with the test repository in it.
class RepoTest : public ::testing::Test {
protected:
    void SetUp() override { repo_.Create(); }
    void TearDown() override {
        if (ctx_ != nullptr) KestDeInit(&ctx_);
    }
    KestContext* Open() {
        EXPECT_EQ(KestInitEx(&ctx_, kRepository, "", "", 0, 1), 0);
        return ctx_;
    }

    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_.path()};
    Repo repo_;
    KestContext* ctx_ = nullptr;
};

}  // namespace kesttest
