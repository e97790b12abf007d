// Fuzzes the INI parser the private-profile calls read every settings file
// with: any text parses; every section and key it lists has a value; the
// text it writes back reads the same; a value set is the value read.
// fuzz-sources: platform/inifile.cpp platform/pathsearch.cpp platform/lasterror.cpp
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/inifile.h"

// The search-path half of pathsearch.cpp, never reached from the parser,
// asks where the program lives; the loader that answers is not linked here.
namespace orb {
std::string ProgramDirectory() { return "."; }
}  // namespace orb

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    orb::IniFile ini(text);
    const orb::IniFile again(ini.Text());
    if (again.SectionNames() != ini.SectionNames()) abort();
    for (const std::string& section : ini.SectionNames()) {
        if (again.KeyNames(section) != ini.KeyNames(section)) abort();
        for (const std::string& key : ini.KeyNames(section)) {
            if (!ini.Value(section, key) || again.Value(section, key) != ini.Value(section, key)) {
                abort();
            }
        }
    }
    ini.Set("Default", "Type", "telnet");
    if (ini.Value("default", "TYPE") != std::string("telnet")) abort();
    if (orb::IniFile(ini.Text()).Value("Default", "Type") != std::string("telnet")) abort();
    return 0;
}
