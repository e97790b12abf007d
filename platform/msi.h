// The installer session: what the Windows Installer offers a custom action
// through the handle of the running installation -- properties read and set,
// information messages for the installation log, the reboot requests (run
// modes) -- and the question whether a product is installed.
//
// A session is kept in a file of the machine root (<root>/tmp/installer/),
// named by its handle, so that the driver that plays the installer
// (orbf-install) and the action library it loads see one session even
// though each carries its own copy of this layer; the installer, too, runs
// its actions apart from itself. Records (MsiCreateRecord) live in the
// process that made them.
//
// Installed products are the keys
// "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{CODE}" of the
// machine's registry, with "DisplayName" and "DisplayVersion".
//
// Property names compare with letter case, as the installer's do; a
// property never set reads as "".
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/win32.h"

typedef DWORD MSIHANDLE;

#define ERROR_UNKNOWN_PRODUCT 1605L
#define ERROR_UNKNOWN_PROPERTY 1608L
#define ERROR_INSTALL_USEREXIT 1602L
#define ERROR_INSTALL_FAILURE 1603L
#define ERROR_FUNCTION_FAILED 1627L

enum INSTALLMESSAGE {
    INSTALLMESSAGE_FATALEXIT = 0x00000000,
    INSTALLMESSAGE_ERROR = 0x01000000,
    INSTALLMESSAGE_WARNING = 0x02000000,
    INSTALLMESSAGE_USER = 0x03000000,
    INSTALLMESSAGE_INFO = 0x04000000,
};

enum MSIRUNMODE {
    MSIRUNMODE_REBOOTATEND = 6,
    MSIRUNMODE_REBOOTNOW = 7,
};

#define INSTALLPROPERTY_VERSION "Version"
#define INSTALLPROPERTY_VERSIONSTRING "VersionString"

// *size in: buffer characters; out: the value's length without the
// terminator. A value that does not fit is cut (terminated) and answers
// ERROR_MORE_DATA. A null buffer only measures.
UINT MsiGetPropertyA(MSIHANDLE install, LPCSTR name, LPSTR value, LPDWORD size);
// Null or "" value removes the property.
UINT MsiSetPropertyA(MSIHANDLE install, LPCSTR name, LPCSTR value);
BOOL MsiGetMode(MSIHANDLE install, MSIRUNMODE mode);
UINT MsiSetMode(MSIHANDLE install, MSIRUNMODE mode, BOOL state);
MSIHANDLE MsiCreateRecord(UINT fields);
UINT MsiRecordSetStringA(MSIHANDLE record, UINT field, LPCSTR value);
// INSTALLMESSAGE_INFO (and the other kinds): field 0 of the record becomes
// one line of the installation log. Answers IDOK (1), or -1 for a bad handle.
int MsiProcessMessage(MSIHANDLE install, INSTALLMESSAGE kind, MSIHANDLE record);
UINT MsiCloseHandle(MSIHANDLE handle);
// ERROR_SUCCESS when the product is installed; a null buffer only asks.
// Attributes "Version" / "VersionString" give its "DisplayVersion".
UINT MsiGetProductInfoA(LPCSTR product, LPCSTR attribute, LPSTR value, LPDWORD size);

namespace orb {

// One installation in progress, owned by the program that plays the
// installer. Destroying it ends the session (its file is removed).
class InstallerSession {
  public:
    // The log lines go to logFile (appended; empty: kept only in the
    // session, see LogText).
    static std::unique_ptr<InstallerSession> Create(const std::string& logFile);
    ~InstallerSession();
    InstallerSession(const InstallerSession&) = delete;
    InstallerSession& operator=(const InstallerSession&) = delete;

    MSIHANDLE Handle() const { return handle_; }
    std::string Property(const std::string& name) const;
    void SetProperty(const std::string& name, const std::string& value);
    std::map<std::string, std::string> Properties() const;
    bool Mode(MSIRUNMODE mode) const;
    void SetMode(MSIRUNMODE mode, bool state);
    // Every line logged so far, each ending in "\n".
    std::string LogText() const;

  private:
    explicit InstallerSession(MSIHANDLE handle) : handle_(handle) {}
    MSIHANDLE handle_;
};

// The installed-products list of the machine (see above).
std::string InstalledProductKey(const std::string& productCode);
LONG RegisterInstalledProduct(const std::string& productCode, const std::string& name,
                              const std::string& version);
LONG RemoveInstalledProduct(const std::string& productCode);

}  // namespace orb
