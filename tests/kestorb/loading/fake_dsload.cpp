// A discovery service for tests: a server runs product 65 when its name is
// listed (comma-separated) in KEST_TEST_DSLOAD_SERVERS.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int32_t KestDSLoad(int32_t) { return 0; }
EXPORT int32_t KestDSUnLoad() { return 0; }
EXPORT int32_t DSInitEnumServer(uint32_t* enumeration, uint32_t* second) {
    *enumeration = 1;
    *second = 0;
    return 0;
}
EXPORT int32_t DSDeInitEnumServer(uint32_t) { return 0; }
EXPORT int32_t DSTblEnumServerByProductId(uint32_t, uint32_t* value, int32_t productId,
                                          char* name, void* record) {
    std::memset(record, 0, 72);
    *value = 0;
    const char* listed = std::getenv("KEST_TEST_DSLOAD_SERVERS");
    if (productId != 65 || listed == nullptr || name[43] != '\0') return 1;
    std::string list = std::string(",") + listed + ",";
    return list.find("," + std::string(name) + ",") == std::string::npos ? 1 : 0;
}
