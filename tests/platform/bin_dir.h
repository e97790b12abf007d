// Where a test finds the programs and libraries it starts or loads: the
// build puts them in bin/ beside the test programs. ctest names the folder in
// ORB_BIN_DIR; a test program run by hand finds them beside itself.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/dynload.h"

namespace orbtest {

inline std::string BinDir() {
    const char* dir = std::getenv("ORB_BIN_DIR");
    return dir != nullptr && *dir != '\0' ? std::string(dir) : orb::ProgramDirectory();
}

}  // namespace orbtest
