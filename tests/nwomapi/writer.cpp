// Test helper: nwomapi_writer REPOSITORY COUNT TAG creates COUNT objects of
// class "Unix" named TAG-0 .. TAG-(COUNT-1), one client call each. Exits 0
// when every create succeeded, else prints the first failure's code.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/nwomapi/nwomapi.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const int count = std::atoi(argv[2]);
    ORBOM_KERNEL kernel = 0;
    ORBOM_CONNECTION connection = 0;
    if (ORBOM_Kernel_Start("writer", &kernel, 0) || ORBOM_Repository_Connect(kernel, argv[1], &connection)) {
        return 3;
    }
    for (int i = 0; i < count; ++i) {
        const std::string name = std::string(argv[3]) + "-" + std::to_string(i);
        ORBOM_PROPLIST list = 0;
        ORBOM_PropertyList_Allocate(&list, 1);
        ORBOM_PropertyList_Add(list, "name", ORBOM_TYPE_STRING, static_cast<uint32_t>(name.size()),
                               name.c_str(), 0);
        const ORBOM_RC rc = ORBOM_Object_Create(connection, "Unix", list);
        ORBOM_PropertyList_Free(&list);
        if (rc != ORBOM_RC_SUCCESS) {
            std::fprintf(stderr, "create %d failed: %d\n", i, rc);
            return 1;
        }
    }
    ORBOM_Repository_Disconnect(&connection);
    ORBOM_Kernel_Stop(&kernel);
    return 0;
}
