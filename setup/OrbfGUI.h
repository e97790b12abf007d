// "OrbfGUI": the integration's installer actions. Two callers:
//
//  1. The installer calls PreInstall, PostInstall, PreUninstall, AllowInstall
//     and AllowUninstall with the handle of the running installation; they
//     read and set its properties and answer an installer result.
//  2. The backup product's master setup calls the component entries with
//     plain arguments and a component record (layout below), and shows the
//     message the entries write into its buffer.
//
// Conventions:
//  - Exports are C functions found by name; their ordinals are listed in
//    exports.map beside this file. Nothing throws across them.
//  - Message buffers: CheckInstallInfo gets its size from the caller;
//    AllowInstallation and GetPostConfigInfo get buffers of at least
//    ORBF_MESSAGE_SIZE bytes. A message is cut to the buffer and always
//    terminated.
//  - Texts come from the resource module given to InitRes, else from the
//    library's own table.
#pragma once

#include "platform/dynload.h"
#include "platform/msi.h"
#include "platform/win32.h"

// Size of the message buffers handed over without a size.
#define ORBF_MESSAGE_SIZE 1024

// The component record of the master setup (byte offsets).
#define ORBF_RECORD_PRODUCT_NAME 0    // text, 100 bytes: GetProductInfo writes text 1509
#define ORBF_RECORD_FLAG_A 100        // int32, set to 1 by GetProductInfo
#define ORBF_RECORD_FLAG_B 104        // int32, set to 0 by GetProductInfo
#define ORBF_RECORD_NOTICE 108        // int32: the message is a notice about an installation
#define ORBF_RECORD_HOME_DIR 112      // text, 260 bytes: the backup product's home directory
#define ORBF_RECORD_INSTALL_MODE 384  // int32, set by the master setup
#define ORBF_RECORD_SIZE 388

// CheckInstallInfo results.
#define ORBF_CHECK_NOT_QUALIFIED 0
#define ORBF_CHECK_INSTALL 1
#define ORBF_CHECK_NOTHING_TO_DO 3
#define ORBF_CHECK_INSTALLED 4
#define ORBF_CHECK_VERSION_CONFLICT 11
#define ORBF_CHECK_CANNOT_INSTALL 16

// Installer results of the actions.
#define ORBF_NOT_ADMINISTRATOR 4097
#define ORBF_REFUSED 4099

// The integration's product code in the installer's product list.
#define ORBF_PRODUCT_CODE "{4C7E2A91-5B3D-4F08-9E61-2D8A0B7C35F4}"

#ifdef __cplusplus
extern "C" {
#endif

UINT PreInstall(MSIHANDLE install);
UINT PostInstall(MSIHANDLE install);
UINT PreUninstall(MSIHANDLE install);
UINT AllowInstall(MSIHANDLE install);
UINT AllowUninstall(MSIHANDLE install);
int AllowInstallation(LPCSTR machine, LPCSTR ignored1, LPCSTR ignored2, LPSTR message,
                      LPCSTR ignored3, void* record);
int CreateSilentConfigIni(LPCSTR ignored1, LPCSTR ignored2, LPCSTR ignored3, LPCSTR ignored4,
                          LPCSTR path);
int GetProductInfo(void* record);
int CheckInstallInfo(LPCSTR machine, LPCSTR ignored1, LPCSTR ignored2, LPSTR message,
                     DWORD messageSize, void* record, LPCSTR productListFile, LPCSTR setupDir,
                     int checkFlag);
int CreateConfigProfile(void);
int GetPostConfigInfo(LPCSTR machine, LPCSTR ignored1, LPCSTR ignored2, LPSTR message);
int InitRes(HINSTANCE resources);

#ifdef __cplusplus
}
#endif
