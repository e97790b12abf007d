// The gate checks: may the integration be installed or removed here?
#include <cstring>
#include <string>

#include "backup/brand/brand.h"
#include "platform/ini.h"
#include "setup/OrbfGUI.h"
#include "setup/actions.h"

using namespace orbf;

namespace {

void SetInt(void* record, size_t offset, int32_t value) {
    std::memcpy(static_cast<char*>(record) + offset, &value, sizeof(value));
}
int32_t GetInt(const void* record, size_t offset) {
    int32_t value = 0;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof(value));
    return value;
}
void SetText(void* record, size_t offset, size_t width, const std::string& text) {
    CopyMessage(text, static_cast<char*>(record) + offset, width);
}

// Edition name text by media sub-type; 1781 for any other (no name).
unsigned EditionText(int subType) {
    switch (subType) {
        case 0: return 1724;
        case 1: return 1725;
        case 2: return 1728;
        case 3: return 1729;
        case 4: return 1721;
        default: return 1781;
    }
}

// AllowInstall steps 4 and 5: the framework's version decides "ORBFDIR".
void SetFrameworkDirectory(MSIHANDLE install) {
    DWORD major = 0;
    bool known = false;
    std::string workDir;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFrameworkKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof(major), type = 0;
        known = RegQueryValueExA(key, "MajorVersion", nullptr, &type,
                                 reinterpret_cast<LPBYTE>(&major), &size) == ERROR_SUCCESS &&
                type == REG_DWORD;
        if (known) {
            LogLine(install, " AllowInstall() - MajorVersion of sentinex is %s", std::to_string(major));
        } else {
            LogLine(install, " AllowInstall() - Failed to Get Major version in Registry %s",
                    kMajorVersionPath);
        }
        if (known && major > 3) {
            char path[MAX_PATH] = {};
            size = MAX_PATH;
            RegQueryValueExA(key, "InstallPath", nullptr, &type, reinterpret_cast<LPBYTE>(path), &size);
            path[MAX_PATH - 1] = '\0';
            workDir = path;
            LogLine(install, " AllowInstall() - szOrbWorkDir = %s", workDir);
        }
        RegCloseKey(key);
    }
    if (!known || major < 4) {
        std::string fieldkit = Environment("FIELDKIT_DIR", 200);
        if (fieldkit.empty()) return;
        SetProperty(install, "ORBFDIR", fieldkit);
        LogLine(install, " AllowInstall() - MsiSetProperty(ORBFDIR) = %s", fieldkit);
        return;
    }
    SetProperty(install, "ORBFDIR", workDir);
    LogLine(install, " AllowInstall() - MsiSetProperty(ORBFDIR) = %s", workDir);
}

// AllowInstall step 6: 0 allowed, else the text of the refusal.
unsigned InstallRefusal(MSIHANDLE install) {
    CSetupInf inf;
    inf.SetVLTsetupINFName((Settings().GetSetupDir() + "SETUP.INF").c_str());
    int subType = inf.GetProductSubType();
    if (subType != 3 && subType != 4) {
        if (unsigned text = BackupProductCheck()) return text;
        return OrbmapPresent(nullptr) ? 0 : 887;
    }
    if (IsWindows51(nullptr)) return 1435;
    if (!SnmpPresent(nullptr)) return 884;
    if (!OrbmapPresent(nullptr)) return 887;
    SetProperty(install, "ORBORBMAPINSTALLED", "10");
    SetProperty(install, "MONITORMANAGER", "0");
    SetProperty(install, "MONITORAGENT", "0");
    return BackupProductCheck() == 0 ? 0 : 813;
}

void Refuse(MSIHANDLE install, unsigned text) {
    std::string message = Text(text);
    if (message.size() > 199) message.resize(199);
    SetProperty(install, "ERRORMSG", message);
}

std::string MediaDirectory() {
    return Settings().GetSetupDir().empty() ? orb::ProgramDirectory() + "/" : Settings().GetSetupDir();
}

}  // namespace

extern "C" UINT AllowInstall(MSIHANDLE install) {
    InitSetupSettings(install, 0);
    SetProperty(install, "REGLMROOTKEY", CKestRegistry::m_sVaultline);
    SetProperty(install, "INSTALLDIR", CKestRegistry().GetVaultlineHomeDir());
    char name[BRAND_BUFFER_SIZE];
    if (BrandGetProductLongName(name)) SetProperty(install, "PRODLONGNAME", name);
    if (BrandGetProductShortName(name)) SetProperty(install, "PRODSHORTNAME", name);
    if (BrandGetProductInitials(name)) SetProperty(install, "PRODINITNAME", name);
    SendStatus(1, 1);
    if (!CCurrentUser::IsAdministrator()) {
        Refuse(install, 772);
        SendStatus(1, 3);
        return ORBF_NOT_ADMINISTRATOR;
    }
    SetFrameworkDirectory(install);
    if (unsigned text = InstallRefusal(install)) {
        Refuse(install, text);
        SendStatus(1, 3);
        return ORBF_REFUSED;
    }
    return 0;
}

extern "C" UINT AllowUninstall(MSIHANDLE install) {
    if (!CCurrentUser::IsAdministrator()) {
        SetProperty(install, "ERRORMSG", Text(772));
        return ERROR_INSTALL_USEREXIT;
    }
    std::string fieldkit = Environment("FIELDKIT_DIR", 256);
    if (!fieldkit.empty()) SetProperty(install, "ORBFDIR", fieldkit);
    SetProperty(install, "REGLMROOTKEY", CKestRegistry::m_sVaultline);
    SetProperty(install, "REGPRODNAME", kIntegrationSubkey);
    return 0;
}

extern "C" int AllowInstallation(LPCSTR machine, LPCSTR, LPCSTR, LPSTR message, LPCSTR,
                                 void* record) {
    const std::string machineName = machine != nullptr ? machine : "";
    CKestRegistry registry(IsRemote(machine), machine);
    std::string home = registry.GetVaultlineHomeDir();
    unsigned text = 0;
    std::string insert;
    tagProductStruct product{};
    if (home.empty() || !registry.GetVaultlineProductInfo(&product) || product.byVersion != 7) {
        text = 1618;
    } else if (product.dwProductCode == 68) {
        text = 1627;
    } else if (product.dwProductCode != 24 && product.dwProductCode != 25 &&
               product.dwProductCode != 32) {
        text = 1618;
    } else {
        CSetupInf inf;
        inf.SetVLTsetupINFName(MediaInf(MediaDirectory()).c_str());
        int subType = inf.GetProductSubType();
        if (subType == 1 || subType == 2) {
            if (product.byEdition != subType) {
                text = 1617;
                insert = Text(EditionText(subType));
            }
        } else if (subType == 3 || subType == 4) {
            if (product.byEdition != 3 && product.byEdition != 4) {
                text = 1617;
                insert = FormatText("%s and %s", {Text(1729), Text(1721)});
            }
        } else {
            text = 1627;
        }
    }
    if (text != 0) {
        std::string chosen = text == 1617 ? FormatText(Text(text), {insert}) : Text(text);
        CopyMessage(FormatText(chosen, {machineName}), message, ORBF_MESSAGE_SIZE);
        return 0;
    }
    if (record != nullptr) {
        SetInt(record, ORBF_RECORD_NOTICE, registry.GetProductCode("SentinexOrbIntegration") != 0);
        SetText(record, ORBF_RECORD_HOME_DIR, MAX_PATH, home);
    }
    return 1;
}

extern "C" int CheckInstallInfo(LPCSTR machine, LPCSTR, LPCSTR, LPSTR message, DWORD messageSize,
                                void* record, LPCSTR productListFile, LPCSTR setupDir,
                                int checkFlag) {
    if (message != nullptr && messageSize > 0) std::memset(message, 0, messageSize);
    auto say = [&](const std::string& text) { CopyMessage(text, message, messageSize); };
    if (record == nullptr || checkFlag == 0) return ORBF_CHECK_NOTHING_TO_DO;
    const std::string media = setupDir != nullptr ? setupDir : "";
    const int mode = GetInt(record, ORBF_RECORD_INSTALL_MODE);
    const bool remote = IsRemote(machine);

    if (IsWindows51(machine)) {
        say(Text(1435));
        return ORBF_CHECK_CANNOT_INSTALL;
    }
    CKestRegistry registry(remote, machine);
    if (!registry.IsConnected()) return ORBF_CHECK_NOT_QUALIFIED;
    if (!SnmpPresent(machine)) {
        say(Text(884));
        return ORBF_CHECK_CANNOT_INSTALL;
    }
    if (!OrbmapPresent(machine)) {
        say(Text(887));
        return ORBF_CHECK_CANNOT_INSTALL;
    }
    if (!registry.IsVaultlineManagerInstalled() && !remote) {
        if (mode != 4) return ORBF_CHECK_NOTHING_TO_DO;
        char products[4096] = {}, required[MAX_PATH] = {};
        GetPrivateProfileStringA("Install", "ProductList", "", products, sizeof(products),
                                 productListFile != nullptr ? productListFile : "");
        GetPrivateProfileStringA("Setup", "SoftRequires", "Server", required, sizeof(required),
                                 MediaInf(media).c_str());
        return std::strstr(products, required) != nullptr ? ORBF_CHECK_INSTALL
                                                          : ORBF_CHECK_CANNOT_INSTALL;
    }
    const DWORD mediaVersion = SetupCLSGetVersionBuildNumber("VLVCTL.DLL");
    const bool integration = IntegrationPresent(machine);
    if (integration) {
        if (registry.GetVaultlineVersionNumber() != (mediaVersion & 0xFFFF)) {
            say(FormatText(Text(1368), {Text(3508), Text(1509)}));
            return ORBF_CHECK_VERSION_CONFLICT;
        }
        if (registry.GetVaultlineBuildNumber() == (mediaVersion >> 16)) {
            say(FormatText(Text(788), {Text(1509)}));
            SetInt(record, ORBF_RECORD_NOTICE, 1);
            return ORBF_CHECK_INSTALLED;
        }
    }
    tagProductStruct product{};
    if (!registry.GetVaultlineProductInfo(&product))
        return mode == 4 ? ORBF_CHECK_CANNOT_INSTALL : ORBF_CHECK_NOT_QUALIFIED;
    const bool majorEqual = MediaMajorEqual(product, media);
    bool upgrade = false;
    if (integration && majorEqual) {
        if (registry.GetVaultlineBuildNumber() >= (mediaVersion >> 16)) return ORBF_CHECK_INSTALLED;
        upgrade = true;
    }
    SetText(record, ORBF_RECORD_HOME_DIR, MAX_PATH, registry.GetVaultlineHomeDir());
    if (upgrade) {
        WORD installed = registry.GetVaultlineVersionNumber();
        std::string version = "Version " + std::to_string(installed >> 8) + "." +
                              std::to_string(installed & 0xFF);
        say(FormatText(Text(1812), {version, Text(1509)}));
        SetInt(record, ORBF_RECORD_NOTICE, 1);
        return ORBF_CHECK_VERSION_CONFLICT;
    }
    if (!majorEqual) return ORBF_CHECK_NOT_QUALIFIED;
    if (remote) {
        std::string uninstall = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall") +
                                "\\" + ORBF_PRODUCT_CODE;
        if (!registry.KeyExists(uninstall.c_str())) return ORBF_CHECK_INSTALL;
        say(Text(788));  // as the text stands: the master setup knows the product
        SetInt(record, ORBF_RECORD_NOTICE, 1);
        return ORBF_CHECK_INSTALLED;
    }
    CSetupInf inf;
    inf.SetVLTsetupINFName(MediaInf(media).c_str());
    if (product.dwProductCode == 68 || inf.GetProductSubType() != product.byEdition)
        return ORBF_CHECK_NOT_QUALIFIED;
    if (MsiGetProductInfoA(ORBF_PRODUCT_CODE, INSTALLPROPERTY_VERSION, nullptr, nullptr) ==
        ERROR_SUCCESS) {
        say(Text(788));
        SetInt(record, ORBF_RECORD_NOTICE, 1);
        return ORBF_CHECK_INSTALLED;
    }
    return ORBF_CHECK_NOTHING_TO_DO;
}

extern "C" int GetProductInfo(void* record) {
    if (record == nullptr) return 1;
    SetText(record, ORBF_RECORD_PRODUCT_NAME, ORBF_RECORD_FLAG_A, Text(1509));
    SetInt(record, ORBF_RECORD_FLAG_A, 1);
    SetInt(record, ORBF_RECORD_FLAG_B, 0);
    return 1;
}

extern "C" int InitRes(HINSTANCE resources) {
    if (resources != nullptr) SetResourceModule(resources);
    return 0;
}

extern "C" int CreateConfigProfile(void) { return 1; }
