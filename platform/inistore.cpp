// Reading and replacing INI files on disk, as shared text files: a reader
// never sees half a file, and two writers take turns instead of losing an
// edit.
#include <errno.h>

#include <cstdio>
#include <mutex>
#include <set>

#include "platform/inifile.h"
#include "platform/pathsearch.h"
#include "platform/textfile.h"
#include "platform/win32.h"

namespace orb {

namespace {

// Tells once per file: a program reads the same file for every setting.
void TellRefused(const std::string& path, DWORD error) {
    static std::mutex mutex;
    static std::set<std::string> told;
    std::lock_guard<std::mutex> lock(mutex);
    if (!told.insert(path).second) return;
    if (error == ERROR_FILE_TOO_LARGE) {
        std::fprintf(stderr, "%s: the INI file %s is larger than %zu bytes; read as absent\n",
                     program_invocation_short_name, path.c_str(), kIniFileMaxBytes);
    } else {
        std::fprintf(stderr, "%s: the INI file %s is not a regular file; read as absent\n",
                     program_invocation_short_name, path.c_str());
    }
}

}  // namespace

bool ReadIniText(const std::string& path, std::string* text) {
    if (ReadRegularTextFile(path, kIniFileMaxBytes, text)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_BAD_FILE_TYPE || error == ERROR_FILE_TOO_LARGE) TellRefused(path, error);
    SetLastError(error);
    return false;
}

bool EditIniFile(const std::string& path, const std::function<void(IniFile&)>& edit) {
    return EditTextFile(
        path,
        [&](std::string& text) {
            IniFile ini(text);
            edit(ini);
            text = ini.Text();
            return true;
        },
        kIniFileMaxBytes);
}

std::string IniPath(const std::string& fileName) {
    if (IsRegularFile(fileName)) return fileName;
    std::string dir, base;
    SplitPath(fileName, &dir, &base);
    std::string found = FindInDirectory(dir, {base}, IsRegularFile);
    return found.empty() ? fileName : found;
}

}  // namespace orb
