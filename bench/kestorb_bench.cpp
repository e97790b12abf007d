// KestOrb's cost over the repository calls it makes: KestAddObject for a new
// machine and KestGetObjectUUID, at 10,000 machines with their containers,
// side by side with the same client calls made directly.
//
//   bin/kestorb_bench [--benchmark_filter=...]
//
// The repository is built once per run in a private machine root (50,000
// objects: machines, containers, backup objects and their links).
//
// bench-libs: KestOrb nwomapi platform
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/nwomapi/nwomapi.h"
#include "kestorb/KestOrb.h"
#include "platform/procid.h"
#include "platform/uuid.h"

namespace {

constexpr int kMachines = 10000;
constexpr const char* kRepository = "kestbench";

struct Field {
    const char* name;
    uint32_t type;
    uint32_t length;
    const void* value;
};
Field Text(const char* name, const std::string& text) {
    return {name, ORBOM_TYPE_STRING, static_cast<uint32_t>(text.size()), text.c_str()};
}
Field Id(const char* name, const UUID& uuid) { return {name, ORBOM_TYPE_UUID, 16, &uuid}; }
Field Int(const char* name, const int32_t& value) { return {name, ORBOM_TYPE_INTEGER, 4, &value}; }

// The client calls a caller without the library would write.
class Direct {
public:
    explicit Direct(ORBOM_CONNECTION connection) : connection_(connection) {}

    UUID Create(const char* cls, std::initializer_list<Field> fields) {
        UUID uuid{};
        UuidCreate(&uuid);
        ORBOM_PROPLIST list = 0;
        ORBOM_PropertyList_Allocate(&list, static_cast<uint32_t>(fields.size() + 1));
        ORBOM_PropertyList_Add(list, "uuid", ORBOM_TYPE_UUID, 16, &uuid, 0);
        for (const Field& f : fields) ORBOM_PropertyList_Add(list, f.name, f.type, f.length, f.value, 0);
        if (ORBOM_Object_Create(connection_, cls, list) != 0) std::abort();
        ORBOM_PropertyList_Free(&list);
        return uuid;
    }
    // Count of matches and the first one's UUID property.
    uint32_t First(const char* cls, std::initializer_list<Field> criteria, const char* property,
                   UUID* out) {
        ORBOM_CRITERIA list = 0;
        ORBOM_Criteria_Allocate(&list, static_cast<uint32_t>(criteria.size()));
        for (const Field& f : criteria) {
            ORBOM_Criteria_Add(list, f.name, f.type, f.length, f.value, ORBOM_OP_EQUAL,
                               ORBOM_CONNECT_AND);
        }
        ORBOM_SELECTION selection = 0;
        uint32_t count = 0, classes = 0, properties = 0;
        ORBOM_ObjectList_Select(connection_, cls, list, "*", 0, &selection, &count, &classes,
                                &properties);
        if (count > 0) {
            ORBOM_OBJECT object = 0;
            ORBOM_ObjectList_GetNext(selection, &object, nullptr);
            uint32_t type = 0, length = 0;
            const void* value = nullptr;
            uint8_t isNull = 0;
            ORBOM_Object_GetProperty(object, property, &type, &length, &value, &isNull);
            if (value != nullptr) std::memcpy(out, value, 16);
        }
        ORBOM_ObjectList_EndSelect(&selection);
        ORBOM_Criteria_Free(&list);
        return count;
    }
    void Link(const char* parentClass, const UUID& parent, const char* childClass,
              const UUID& child) {
        UUID ignored{};
        int32_t sequence = static_cast<int32_t>(First(
            "Inclusion", {Id("child_uuid", child), Text("child_class", childClass)}, "uuid",
            &ignored));
        Create("Inclusion", {Id("parent_uuid", parent), Id("child_uuid", child),
                             Text("parent_class", parentClass), Text("child_class", childClass),
                             Int("child_sequence_no", sequence)});
    }
    // What KestAddObject does for a machine without a container.
    void AddObject(const std::string& machineName) {
        UUID machine{}, space{}, object{};
        First("WindowsNT_Server", {Text("name", machineName)}, "uuid", &machine);
        First("Inclusion",
              {Id("parent_uuid", machine), Text("parent_class", "WindowsNT_Server"),
               Text("child_class", "Sentispace")},
              "child_uuid", &space);
        std::string spaceName = machineName + "-Sentispace";
        space = Create("Sentispace", {Text("name", spaceName), Text("label", spaceName)});
        Link("WindowsNT_Server", machine, "Sentispace", space);
        First("Inclusion",
              {Id("parent_uuid", space), Text("parent_class", "Sentispace"),
               Text("child_class", "Vaultline")},
              "child_uuid", &object);
        object = Create("Vaultline", {Text("name", machineName), Text("label", machineName)});
        Link("Sentispace", space, "Vaultline", object);
    }
    // What KestGetObjectUUID does.
    uint32_t GetObjectUuid(const std::string& machineName, UUID* out) {
        UUID machine{}, space{};
        First("WindowsNT_Server", {Text("name", machineName)}, "uuid", &machine);
        First("Inclusion",
              {Id("parent_uuid", machine), Text("parent_class", "WindowsNT_Server"),
               Text("child_class", "Sentispace")},
              "child_uuid", &space);
        return First("Inclusion",
                     {Id("parent_uuid", space), Text("parent_class", "Sentispace"),
                      Text("child_class", "Vaultline")},
                     "child_uuid", out);
    }

private:
    ORBOM_CONNECTION connection_;
};

// One machine root and repository for the whole run.
class World {
public:
    static World& Get() {
        static World world;
        return world;
    }
    ORBOM_CONNECTION connection() const { return connection_; }
    KestContext* context() const { return context_; }
    // A machine object with no container yet.
    std::string NewMachine() {
        std::string name = "NEW" + std::to_string(next_++);
        Direct(connection_).Create("WindowsNT_Server", {Text("name", name)});
        return name;
    }

private:
    World() {
        root_ = std::filesystem::temp_directory_path() / ("kestbench-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(root_);
        setenv("ORB_MACHINE_ROOT", root_.c_str(), 1);
        ORBOM_Kernel_Start("kestbench", &kernel_, 0);
        ORBOM_Repository_Create(kernel_, kRepository);
        ORBOM_Repository_Connect(kernel_, kRepository, &connection_);
        const char* classes =
            "class Sentispace\n uuid uuid\n name string\n label string\n status integer\nend\n"
            "class Vaultline\n uuid uuid\n name string\n label string\n status integer\nend\n";
        ORBOM_Class_Import(connection_, classes, static_cast<uint32_t>(std::strlen(classes)),
                           nullptr, nullptr, 0);
        Direct direct(connection_);
        for (int i = 0; i < kMachines; ++i) {
            std::string name = "HOST" + std::to_string(i);
            direct.Create("WindowsNT_Server", {Text("name", name)});
            direct.AddObject(name);
        }
        if (KestInitEx(&context_, kRepository, "", "", 0, 1) != 0) std::abort();
    }
    ~World() {
        KestDeInit(&context_);
        ORBOM_Repository_Disconnect(&connection_);
        ORBOM_Kernel_Stop(&kernel_);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    std::filesystem::path root_;
    ORBOM_KERNEL kernel_ = 0;
    ORBOM_CONNECTION connection_ = 0;
    KestContext* context_ = nullptr;
    int next_ = 0;
};

void BM_AddObject_KestOrb(benchmark::State& state) {
    World& world = World::Get();
    for (auto _ : state) {
        state.PauseTiming();
        KestMachineRecord machine{};
        machine.size = sizeof machine;
        std::strcpy(machine.machineClass, "WindowsNT_Server");
        std::string name = world.NewMachine();
        std::strcpy(machine.machineName, name.c_str());
        state.ResumeTiming();
        UUID uuid{};
        if (KestAddObject(world.context(), &machine, "Vaultline", name.c_str(), &uuid) != 0) {
            state.SkipWithError("KestAddObject failed");
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddObject_KestOrb)->Unit(benchmark::kMicrosecond);

void BM_AddObject_Direct(benchmark::State& state) {
    World& world = World::Get();
    Direct direct(world.connection());
    for (auto _ : state) {
        state.PauseTiming();
        std::string name = world.NewMachine();
        state.ResumeTiming();
        direct.AddObject(name);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddObject_Direct)->Unit(benchmark::kMicrosecond);

void BM_GetObjectUUID_KestOrb(benchmark::State& state) {
    World& world = World::Get();
    KestMachineRecord machine{};
    machine.size = sizeof machine;
    std::strcpy(machine.machineClass, "WindowsNT_Server");
    unsigned i = 0;
    for (auto _ : state) {
        std::snprintf(machine.machineName, sizeof machine.machineName, "HOST%u",
                      (i++ * 7919u) % kMachines);
        int32_t count = 0;
        UUID uuid{};
        if (KestGetObjectUUID(world.context(), "Vaultline", &machine, &count, &uuid) != 0) {
            state.SkipWithError("KestGetObjectUUID failed");
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetObjectUUID_KestOrb)->Unit(benchmark::kMicrosecond);

void BM_GetObjectUUID_Direct(benchmark::State& state) {
    World& world = World::Get();
    Direct direct(world.connection());
    unsigned i = 0;
    for (auto _ : state) {
        UUID uuid{};
        std::string name = "HOST" + std::to_string((i++ * 7919u) % kMachines);
        if (direct.GetObjectUuid(name, &uuid) != 1) state.SkipWithError("lookup failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetObjectUUID_Direct)->Unit(benchmark::kMicrosecond);

}  // namespace
