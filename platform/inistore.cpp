// Reading and replacing INI files on disk, as shared text files: a reader
// never sees half a file, and two writers take turns instead of losing an
// edit.
#include "platform/inifile.h"
#include "platform/pathsearch.h"
#include "platform/textfile.h"
#include "platform/win32.h"

namespace orb {

bool ReadIniText(const std::string& path, std::string* text) { return ReadTextFile(path, text); }

bool EditIniFile(const std::string& path, const std::function<void(IniFile&)>& edit) {
    return EditTextFile(path, [&](std::string& text) {
        IniFile ini(text);
        edit(ini);
        text = ini.Text();
        return true;
    });
}

std::string IniPath(const std::string& fileName) {
    if (IsRegularFile(fileName)) return fileName;
    std::string dir, base;
    SplitPath(fileName, &dir, &base);
    std::string found = FindInDirectory(dir, {base}, IsRegularFile);
    return found.empty() ? fileName : found;
}

}  // namespace orb
