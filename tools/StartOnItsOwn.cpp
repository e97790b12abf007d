#include "tools/StartOnItsOwn.h"

#include <cstdio>

#include "platform/process.h"

bool StartOnItsOwn(const char* who, const std::string& commandLine) {
    const UINT started = WinExec(commandLine.c_str(), SW_SHOW);
    if (started <= 31) {
        std::fprintf(stderr, "%s: \"%s\" could not be started (%u)\n", who, commandLine.c_str(),
                     started);
        return false;
    }
    return true;
}
