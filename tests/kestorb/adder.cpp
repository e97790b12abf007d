// Test helper: kestorb_adder REPOSITORY COUNT adds, through KestOrb, one
// "LumoraVB" object under each of the machines "WindowsNT_Server" host-0 ..
// host-(COUNT-1). Exits 0 when every add answered 0 or 4098 (there already),
// else prints the first other code.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kestorb/KestOrb.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    KestContext* ctx = nullptr;
    if (KestInitEx(&ctx, argv[1], "", "", 0, 1) != 0) return 3;
    int result = 0;
    for (int i = 0; i < std::atoi(argv[2]) && result == 0; ++i) {
        KestMachineRecord machine{};
        machine.size = sizeof machine;
        std::snprintf(machine.machineClass, sizeof machine.machineClass, "WindowsNT_Server");
        std::snprintf(machine.machineName, sizeof machine.machineName, "host-%d", i);
        const std::string name = "srv-" + std::to_string(i);
        UUID uuid{};
        const int32_t rc = KestAddObject(ctx, &machine, "LumoraVB", name.c_str(), &uuid);
        if (rc != 0 && rc != KESTORB_ERR_ALREADY_EXISTS) {
            std::fprintf(stderr, "add %d: %d\n", i, rc);
            result = 1;
        }
    }
    KestDeInit(&ctx);
    return result;
}
