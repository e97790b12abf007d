// CKestRegistry: the backup product's registry entries on one machine.
#include <algorithm>
#include <cstring>
#include <string>

#include "backup/setupcls/setupcls.h"

const char* const CKestRegistry::m_sVaultline = "Lumora Vaultline Backup";
const char* const CKestRegistry::m_sVaultlineKey =
    "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup";

namespace {

const std::string kKey = CKestRegistry::m_sVaultlineKey;
const std::string kPathKey = kKey + "\\Base\\Path";
const std::string kVersionKey = kKey + "\\Base\\Version";

std::string ReadString(HKEY root, const std::string& path, LPCSTR name) {
    HKEY key = nullptr;
    if (root == nullptr || RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    char buffer[MAX_PATH] = {};
    DWORD size = sizeof(buffer), type = 0;
    LONG code = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (code != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
    buffer[sizeof(buffer) - 1] = '\0';
    return buffer;
}

}  // namespace

CKestRegistry::CKestRegistry() : root_(HKEY_LOCAL_MACHINE) {}

CKestRegistry::CKestRegistry(BOOL remote, LPCSTR machine) {
    if (!remote || machine == nullptr || machine[0] == '\0') {
        root_ = HKEY_LOCAL_MACHINE;
        return;
    }
    std::string name = machine;
    if (name.rfind("\\\\", 0) != 0) name = "\\\\" + name;
    if (RegConnectRegistryA(name.c_str(), HKEY_LOCAL_MACHINE, &root_) == ERROR_SUCCESS) {
        owned_ = true;
    } else {
        root_ = nullptr;
    }
}

CKestRegistry::~CKestRegistry() {
    if (owned_) RegCloseKey(root_);
}

bool CKestRegistry::KeyExists(LPCSTR path) const {
    HKEY key = nullptr;
    if (root_ == nullptr || RegOpenKeyExA(root_, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool CKestRegistry::ReadDword(const std::string& path, LPCSTR name, DWORD* value) const {
    HKEY key = nullptr;
    if (root_ == nullptr || RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = sizeof(*value), type = 0;
    LONG code = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(value), &size);
    RegCloseKey(key);
    return code == ERROR_SUCCESS && type == REG_DWORD;
}

std::string CKestRegistry::GetVaultlineHomeDir() const { return ReadString(root_, kPathKey, "HOME"); }

BOOL CKestRegistry::GetVaultlineHomeDir(LPSTR buffer, LPCSTR machine) {
    if (buffer == nullptr) return FALSE;
    CKestRegistry registry(machine != nullptr, machine);
    std::string home = registry.GetVaultlineHomeDir();
    size_t n = std::min<size_t>(home.size(), MAX_PATH - 1);
    std::memcpy(buffer, home.data(), n);
    buffer[n] = '\0';
    return n > 0 ? TRUE : FALSE;
}

BOOL CKestRegistry::GetVaultlineProductInfo(tagProductStruct* product) const {
    DWORD code = 0, major = 0, minor = 0, build = 0, edition = 0;
    if (product == nullptr || !ReadDword(kVersionKey, "ProductCode", &code)) return FALSE;
    ReadDword(kVersionKey, "Major", &major);
    ReadDword(kVersionKey, "Minor", &minor);
    ReadDword(kVersionKey, "Build", &build);
    ReadDword(kVersionKey, "Edition", &edition);
    *product = tagProductStruct{};
    product->dwProductCode = code;
    product->byVersion = static_cast<BYTE>(major);
    product->byMinor = static_cast<BYTE>(minor);
    product->byEdition = static_cast<BYTE>(edition);
    product->wBuild = static_cast<WORD>(build);
    std::strncpy(product->szName, m_sVaultline, sizeof(product->szName) - 1);
    return TRUE;
}

BOOL CKestRegistry::IsVaultlineManagerInstalled() const {
    DWORD manager = 0;
    return ReadDword(kVersionKey, "Manager", &manager) && manager != 0 ? TRUE : FALSE;
}

WORD CKestRegistry::GetVaultlineVersionNumber() const {
    DWORD major = 0, minor = 0;
    ReadDword(kVersionKey, "Major", &major);
    ReadDword(kVersionKey, "Minor", &minor);
    return static_cast<WORD>(((major & 0xFF) << 8) | (minor & 0xFF));
}

WORD CKestRegistry::GetVaultlineBuildNumber() const {
    DWORD build = 0;
    ReadDword(kVersionKey, "Build", &build);
    return static_cast<WORD>(build);
}

DWORD CKestRegistry::GetProductCode(LPCSTR productName) const {
    DWORD code = 0;
    if (productName == nullptr || productName[0] == '\0') return 0;
    ReadDword(kKey + "\\Products\\" + productName, "ProductCode", &code);
    return code;
}

BOOL CKestRegistry::AddVaultlineKey(LPCSTR subKey) const {
    HKEY key = nullptr;
    std::string path = kKey + "\\" + (subKey != nullptr ? subKey : "");
    LONG code = root_ == nullptr ? ERROR_BAD_NETPATH
                                 : RegCreateKeyExA(root_, path.c_str(), 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (code == ERROR_SUCCESS) RegCloseKey(key);
    SetLastError(static_cast<DWORD>(code));
    return code == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL CKestRegistry::SetVaultlineKeyValue(LPCSTR subKey, LPCSTR name, DWORD type, const BYTE* data,
                                         DWORD size) const {
    HKEY key = nullptr;
    std::string path = kKey;
    if (subKey != nullptr && subKey[0] != '\0') path += std::string("\\") + subKey;
    LONG code = root_ == nullptr ? ERROR_BAD_NETPATH
                                 : RegOpenKeyExA(root_, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (code == ERROR_SUCCESS) {
        code = RegSetValueExA(key, name, 0, type, data, size);
        RegCloseKey(key);
    }
    SetLastError(static_cast<DWORD>(code));
    return code == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL CKestRegistry::DeleteVaultlineKey(LPCSTR subKey) const {
    if (subKey == nullptr || subKey[0] == '\0' || root_ == nullptr) return FALSE;
    LONG code = RegDeleteKeyA(root_, (kKey + "\\" + subKey).c_str());
    SetLastError(static_cast<DWORD>(code));
    return code == ERROR_SUCCESS ? TRUE : FALSE;
}
