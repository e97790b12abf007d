// SetupCLSGetVersionBuildNumber: the version record of a product file.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "backup/setupcls/setupcls.h"
#include "backup/setupcls/versionrecord.h"
#include "platform/dynload.h"
#include "platform/pathsearch.h"

namespace {

// The file a product file name means: the name as given, else the library
// it names ("DIR\\VLVCTL.DLL" is DIR/libVLVCTL.so).
std::string FileOf(const std::string& name) {
    std::string path = orb::ToSlashes(name);
    if (orb::IsRegularFile(path)) return path;
    if (path.find('/') == std::string::npos) path = "./" + path;
    return orb::FindLibrary(path);
}

// Records are small; a file bigger than this is not a product file.
constexpr std::streamsize kLargestFile = 256 << 20;

}  // namespace

extern "C" DWORD SetupCLSGetVersionBuildNumber(LPCSTR path) {
    if (path == nullptr) return 0;
    std::string file = FileOf(path);
    if (file.empty()) return 0;
    std::ifstream in(file, std::ios::binary);
    in.seekg(0, std::ios::end);
    if (!in || in.tellg() > kLargestFile) return 0;
    in.seekg(0);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string mark = kOrbVersionRecordMark;
    for (size_t at = data.find(mark); at != std::string::npos; at = data.find(mark, at + 1)) {
        const char* text = data.c_str() + at + mark.size();
        char* end = nullptr;
        unsigned long major = std::strtoul(text, &end, 10);
        if (*end != '.') continue;
        unsigned long minor = std::strtoul(end + 1, &end, 10);
        if (*end != '.') continue;
        unsigned long build = std::strtoul(end + 1, &end, 10);
        if (*end != '$' || major > 0xFF || minor > 0xFF || build > 0xFFFF) continue;
        return static_cast<DWORD>((build << 16) | (major << 8) | minor);
    }
    return 0;
}
