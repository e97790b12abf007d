// The private-profile calls over IniFile, with the Win32 buffer rules.
#include "platform/ini.h"

#include <cstdlib>
#include <cstring>

#include "platform/inifile.h"
#include "platform/pathsearch.h"

namespace {

// One string, cut to size - 1 and terminated; returns the length copied.
DWORD CopyString(const std::string& text, LPSTR buffer, DWORD size) {
    size_t n = std::min<size_t>(text.size(), size - 1);
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

// A list of strings, each terminated, with a second terminator at the end.
// When it does not fit, the last string that fits in part is cut and the
// list still ends in two zeros; the result is then size - 2.
DWORD CopyList(const std::vector<std::string>& items, LPSTR buffer, DWORD size) {
    std::string list;
    for (const std::string& item : items) list.append(item).push_back('\0');
    if (list.size() + 1 <= size) {
        memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        if (list.empty() && size >= 2) buffer[1] = '\0';
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    return text;
}

orb::IniFile Load(LPCSTR fileName) {
    std::string text;
    if (fileName) orb::ReadIniText(orb::IniPath(fileName), &text);
    return orb::IniFile(text);
}

// A line end, a key's "=" or a key that reads as a comment or a header
// would change the file's structure on the next read; such writes are
// refused rather than written as something else.
bool Writable(LPCSTR section, LPCSTR key, LPCSTR value) {
    auto clean = [](LPCSTR text, const char* forbidden) {
        return !text || strpbrk(text, forbidden) == nullptr;
    };
    if (key) {
        size_t first = strspn(key, " \t");
        if (key[first] == '\0' || key[first] == ';' || key[first] == '[') return false;
    }
    return clean(section, "\r\n]") && clean(key, "\r\n=") && clean(value, "\r\n");
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR fileName) {
    if (!buffer || size == 0) return 0;
    try {
        orb::IniFile ini = Load(fileName);
        if (!section) return CopyList(ini.SectionNames(), buffer, size);
        if (!key) return CopyList(ini.KeyNames(section), buffer, size);
        auto value = ini.Value(section, key);
        return CopyString(value ? *value : TrimRight(defaultValue ? defaultValue : ""), buffer, size);
    } catch (...) {
        buffer[0] = '\0';
        return 0;
    }
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName) {
    if (!section || !key) return static_cast<UINT>(defaultValue);
    try {
        auto value = Load(fileName).Value(section, key);
        if (!value) return static_cast<UINT>(defaultValue);
        // Leading sign and digits only; "12abc" is 12, "abc" is 0.
        long long number = strtoll(value->c_str(), nullptr, 10);
        return static_cast<UINT>(static_cast<int>(number));
    } catch (...) {
        return static_cast<UINT>(defaultValue);
    }
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (!section || !fileName || !*fileName || !Writable(section, key, value)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        std::string path = orb::IniPath(fileName);
        // Deleting from a file that is not there leaves it not there.
        if ((!key || !value) && !orb::IsRegularFile(path)) return TRUE;
        std::string s = section, k = key ? key : "", v = value ? value : "";
        return orb::EditIniFile(path, [&](orb::IniFile& ini) {
            if (!key) {
                ini.DeleteSection(s);
            } else if (!value) {
                ini.DeleteKey(s, k);
            } else {
                ini.Set(s, k, v);
            }
        }) ? TRUE : FALSE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}
