// The backup product's setup class library ("SetupCLS"): what the product's
// setup programs share to look at a machine -- the product's registry
// entries (on this machine or, through the connected registry, another
// one), the setup media's "setup.inf", the settings of one setup run, the
// services, the user, the master setup's status mailslot and the version
// record of a product file. Every class reads the machine root it runs on.
//
// What the product keeps in the registry (HKEY_LOCAL_MACHINE):
//   m_sVaultlineKey\\Base\\Path       "HOME" the product's home directory
//   m_sVaultlineKey\\Base\\Version    DWORDs "ProductCode" (24, 25, 32, ...),
//                                     "Major", "Minor", "Build", "Edition"
//                                     (0-4, the media's sub-types) and
//                                     "Manager" (nonzero: the manager is installed)
//   m_sVaultlineKey\\Products\\NAME   DWORD "ProductCode" of a registered component
//
// "setup.inf", section [Setup]: "ProductSubType" (0-4, default 0),
// "StatusMailslot" (the master setup's mailslot; absent: none),
// "SoftRequires".
#pragma once

#include <cstddef>
#include <string>

#include "platform/registry.h"
#include "platform/win32.h"

// The product record of an installed backup product. Offsets are fixed:
// setup programs of other releases read them.
struct tagProductStruct {
    DWORD dwProductCode;  // 0
    BYTE reserved1[5];
    BYTE byVersion;  // 9: major version
    BYTE byMinor;    // 10
    BYTE reserved2;
    BYTE byEdition;  // 12: the media sub-type numbering
    BYTE reserved3;
    WORD wBuild;  // 14
    char szName[64];
};
static_assert(offsetof(tagProductStruct, byVersion) == 9);
static_assert(offsetof(tagProductStruct, byEdition) == 12);

// One setup run's settings as the calling setup fills them in.
struct tagSETUP_INFO {
    BYTE bytes[2336];
};
inline constexpr size_t kSetupInfoDirectory = 778;  // setup directory, 260 bytes
inline constexpr size_t kSetupInfoLogFile = 1817;   // log file, 260 bytes
inline constexpr size_t kSetupInfoFlags = 2080;     // 32-bit component flags

class CKestRegistry {
  public:
    // The local machine.
    CKestRegistry();
    // remote nonzero and a machine name: that machine's registry (a name
    // without "\\\\" gets it). A connection that fails leaves IsConnected false.
    CKestRegistry(BOOL remote, LPCSTR machine);
    ~CKestRegistry();
    CKestRegistry(const CKestRegistry&) = delete;
    CKestRegistry& operator=(const CKestRegistry&) = delete;

    bool IsConnected() const { return root_ != nullptr; }
    // HKEY_LOCAL_MACHINE of the machine (null when not connected).
    HKEY Root() const { return root_; }
    bool KeyExists(LPCSTR path) const;

    // Empty when the product is not installed.
    std::string GetVaultlineHomeDir() const;
    // The same into buffer (260 bytes, always terminated); FALSE when empty.
    static BOOL GetVaultlineHomeDir(LPSTR buffer, LPCSTR machine = nullptr);
    BOOL GetVaultlineProductInfo(tagProductStruct* product) const;
    BOOL IsVaultlineManagerInstalled() const;
    // Major in the high byte, minor in the low one; 0 when not installed.
    WORD GetVaultlineVersionNumber() const;
    WORD GetVaultlineBuildNumber() const;
    // Nonzero when the named component is registered with the product.
    DWORD GetProductCode(LPCSTR productName) const;

    // Below m_sVaultlineKey; FALSE (and the last error) on failure.
    BOOL AddVaultlineKey(LPCSTR subKey) const;
    BOOL SetVaultlineKeyValue(LPCSTR subKey, LPCSTR name, DWORD type, const BYTE* data,
                              DWORD size) const;
    BOOL DeleteVaultlineKey(LPCSTR subKey) const;

    static const char* const m_sVaultline;     // the product's registry root name
    static const char* const m_sVaultlineKey;  // its key below HKEY_LOCAL_MACHINE

  private:
    bool ReadDword(const std::string& path, LPCSTR name, DWORD* value) const;
    HKEY root_ = nullptr;
    bool owned_ = false;
};

class CSetupInf {
  public:
    void SetVLTsetupINFName(LPCSTR path) { path_ = path != nullptr ? path : ""; }
    const std::string& Name() const { return path_; }
    // The media's edition, 0-4; 0 when the file or the entry is missing.
    int GetProductSubType() const;

  private:
    std::string path_;
};

// The settings of one setup run. Initialize reads the machine and the
// media; the mailslot of the settings initialised last is the one
// CRemoteMailslot reports to.
class CSettings {
  public:
    CSettings() = default;
    CSettings(const tagSETUP_INFO& info, int mode);
    void Initialize();

    int Mode() const { return mode_; }
    // Always ends with a separator ("/").
    const std::string& GetSetupDir() const { return setupDir_; }
    const std::string& GetLogFile() const { return logFile_; }
    DWORD GetFlags() const { return flags_; }
    bool UseStatusMailslot() const { return !mailslot_.empty(); }
    const std::string& GetMailslotName() const { return mailslot_; }
    // Set by Initialize when the backup product is installed on this machine.
    bool IsVaultlineInstalled() const { return vaultlineInstalled_; }
    // One line of the setup log (the log file of the settings).
    void Log(const std::string& line) const;

    // The status mailslot of the settings initialised last ("" when none).
    static std::string CurrentMailslot();

  private:
    int mode_ = 0;
    std::string setupDir_, logFile_, mailslot_;
    DWORD flags_ = 0;
    bool vaultlineInstalled_ = false;
};

class CService {
  public:
    BOOL ServiceExists(LPCSTR name) const;
    BOOL IsStarted(LPCSTR name) const;
    // wait nonzero: until stopped, at most timeoutMs (0: 60 seconds).
    BOOL StopService(LPCSTR name, BOOL wait, DWORD timeoutMs) const;
    // wait nonzero: until running, at most 60 seconds.
    BOOL StartServiceA(LPCSTR name, BOOL wait) const;
};

class CCurrentUser {
  public:
    static BOOL IsAdministrator();
};

// Progress datagrams to the master setup's mailslot. Without one in use
// nothing is sent (FALSE).
class CRemoteMailslot {
  public:
    // "COMPUTER\\PHASE\\STATE" to the named mailslot.
    static BOOL SendStatus(LPCSTR mailslot, int phase, int state);
    // "COMPUTER\\PHASE\\STATE\\PRODUCT\\TEXT" to the current settings' mailslot.
    static BOOL SendStatus(LPCSTR computer, int phase, int state, LPCSTR product, LPCSTR text);
};

class CSetupIcf {
  public:
    // The silent-install configuration file the media carries.
    static const char* const m_sDefaultFilename;
};

extern "C" {
// The version record of a product file (see versionrecord.h): build in the
// high word, major and minor in the low word's high and low bytes. 0 when
// the file is missing or carries no record.
DWORD SetupCLSGetVersionBuildNumber(LPCSTR path);
}
