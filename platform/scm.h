// The service control manager: the Win32 calls the system uses to read,
// start and stop the backup product's services, with their Windows shapes,
// access masks, states and error codes.
//
// Two backends stand behind the calls, chosen by ORB_SERVICE_BACKEND:
//   "simulated" (default)  services are registry keys of the machine root,
//                          "SYSTEM\\CurrentControlSet\\Services\\NAME"; a start
//                          passes through SERVICE_START_PENDING and a stop through
//                          SERVICE_STOP_PENDING for the service's "TransitionDelay"
//                          (DWORD, milliseconds, default 1000) on the platform clock.
//                          A service with an "ImagePath" (its program's command
//                          line) really runs: a start starts the program (output
//                          to <root>/log/NAME.log), a stop ends it, and a query
//                          finds it RUNNING while the program runs.
//   "systemd"              the host's units, driven with systemctl (ORB_SYSTEMCTL
//                          names the command, default "systemctl").
// Tests may install their own backend with orb::SetServiceManager.
//
// Failures return null or FALSE and set the last error (GetLastError), as
// Windows does. Handles are owned by the caller until CloseServiceHandle.
#pragma once

#include <memory>
#include <string>

#include "platform/win32.h"

struct OrbScHandle;
typedef OrbScHandle* SC_HANDLE;

// Service states (SERVICE_STATUS.dwCurrentState).
#define SERVICE_STOPPED 1
#define SERVICE_START_PENDING 2
#define SERVICE_STOP_PENDING 3
#define SERVICE_RUNNING 4
#define SERVICE_CONTINUE_PENDING 5
#define SERVICE_PAUSE_PENDING 6
#define SERVICE_PAUSED 7

// Manager access.
#define SC_MANAGER_CONNECT 0x0001
#define SC_MANAGER_CREATE_SERVICE 0x0002
#define SC_MANAGER_ENUMERATE_SERVICE 0x0004
#define SC_MANAGER_ALL_ACCESS 0xF003F

// Service access.
#define SERVICE_QUERY_CONFIG 0x0001
#define SERVICE_CHANGE_CONFIG 0x0002
#define SERVICE_QUERY_STATUS 0x0004
#define SERVICE_START 0x0010
#define SERVICE_STOP 0x0020
#define SERVICE_PAUSE_CONTINUE 0x0040
#define SERVICE_INTERROGATE 0x0080
#define DELETE 0x00010000
#define SERVICE_ALL_ACCESS 0xF01FF

#define SERVICE_CONTROL_STOP 0x00000001
#define SERVICE_CONTROL_INTERROGATE 0x00000004

#define SERVICE_WIN32_OWN_PROCESS 0x00000010
#define SERVICE_ACCEPT_STOP 0x00000001

// Service-manager error codes (winerror.h values) not already in win32.h.
#define ERROR_DEPENDENT_SERVICES_RUNNING 1051L
#define ERROR_INVALID_SERVICE_CONTROL 1052L
#define ERROR_SERVICE_REQUEST_TIMEOUT 1053L
#define ERROR_SERVICE_CANNOT_ACCEPT_CTRL 1061L
#define ERROR_SERVICE_EXISTS 1073L
#define ERROR_INVALID_NAME 123L
#define ERROR_NOT_SUPPORTED 50L

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};
typedef SERVICE_STATUS* LPSERVICE_STATUS;

// machine null or empty: the local machine (the only one served).
SC_HANDLE OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access);
// ERROR_SERVICE_DOES_NOT_EXIST when the service is not installed.
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access);
BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status);
// ERROR_SERVICE_ALREADY_RUNNING when running or starting.
BOOL StartServiceA(SC_HANDLE service, DWORD argc, LPCSTR* argv);
// SERVICE_CONTROL_STOP (ERROR_SERVICE_NOT_ACTIVE when stopped) and
// SERVICE_CONTROL_INTERROGATE; status receives the state after the control.
BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
BOOL CloseServiceHandle(SC_HANDLE handle);
// Installs a service (simulated backend only); ERROR_SERVICE_EXISTS when present.
SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                         DWORD serviceType, DWORD startType, DWORD errorControl,
                         LPCSTR binaryPath, LPCSTR loadOrderGroup, LPDWORD tagId,
                         LPCSTR dependencies, LPCSTR account, LPCSTR password);
BOOL DeleteService(SC_HANDLE service);

namespace orb {

// One backend of the service manager. Every call returns ERROR_SUCCESS or a
// Win32 error code; names are service names as the caller gave them.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    virtual DWORD Exists(const std::string& name) = 0;
    virtual DWORD Query(const std::string& name, SERVICE_STATUS* status) = 0;
    virtual DWORD Start(const std::string& name) = 0;
    virtual DWORD Stop(const std::string& name) = 0;
    // binaryPath: the command line of the service's program (may be empty).
    virtual DWORD Create(const std::string& name, const std::string& displayName,
                         const std::string& binaryPath) = 0;
    virtual DWORD Remove(const std::string& name) = 0;
};

// The backend in force: the installed one, else the one ORB_SERVICE_BACKEND names.
ServiceManager& CurrentServiceManager();
// Installs a backend (null restores the configured one). For tests.
void SetServiceManager(ServiceManager* manager);

std::unique_ptr<ServiceManager> MakeSimulatedServiceManager();
std::unique_ptr<ServiceManager> MakeSystemdServiceManager();

// "STOPPED", "START_PENDING", ... "PAUSED"; "UNKNOWN" for anything else.
const char* ServiceStateName(DWORD state);

}  // namespace orb
