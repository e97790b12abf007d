// The Win32 service-manager calls over the backend in force: handles,
// access checks and the last error live here; the backends only know names.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/scm.h"

struct OrbScHandle {
    // Catches a handle that is not ours, or one already closed.
    static constexpr uint32_t kMagic = 0x53434D48;  // "SCMH"
    uint32_t magic = kMagic;
    bool isManager = false;
    DWORD access = 0;
    std::string name;
};

namespace orb {
namespace {

std::atomic<ServiceManager*> g_installed{nullptr};

// Never destroyed: a library's threads may still be inside a call (the
// agent's collectors inside the query library's connect) while the process
// runs its exit handlers, and a library made on first use would be torn down
// before the threads that use it are stopped.
ServiceManager& ConfiguredManager() {
    static ServiceManager* const simulated = MakeSimulatedServiceManager().release();
    static ServiceManager* const systemd = MakeSystemdServiceManager().release();
    const char* backend = std::getenv("ORB_SERVICE_BACKEND");
    if (backend != nullptr && std::strcmp(backend, "systemd") == 0) return *systemd;
    return *simulated;
}

}  // namespace

ServiceManager& CurrentServiceManager() {
    ServiceManager* installed = g_installed.load();
    return installed != nullptr ? *installed : ConfiguredManager();
}

void SetServiceManager(ServiceManager* manager) { g_installed.store(manager); }

const char* ServiceStateName(DWORD state) {
    static const char* const kNames[] = {"STOPPED",          "START_PENDING", "STOP_PENDING",
                                         "RUNNING",          "CONTINUE_PENDING",
                                         "PAUSE_PENDING",    "PAUSED"};
    if (state >= SERVICE_STOPPED && state <= SERVICE_PAUSED) return kNames[state - 1];
    return "UNKNOWN";
}

}  // namespace orb

namespace {

// Sets the last error and answers FALSE unless code is ERROR_SUCCESS.
BOOL Result(DWORD code) {
    SetLastError(code);
    return code == ERROR_SUCCESS ? TRUE : FALSE;
}

// A service handle with the access the call needs, else null with the last error set.
OrbScHandle* ServiceHandle(SC_HANDLE handle, DWORD needed) {
    if (handle == nullptr || handle->magic != OrbScHandle::kMagic || handle->isManager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((handle->access & needed) != needed) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return handle;
}

// action on the service manager for the service behind the handle, which
// needs the given access; its code becomes the result and the last error.
template <typename Action>
BOOL OnService(SC_HANDLE service, DWORD needed, Action action) {
    OrbScHandle* handle = ServiceHandle(service, needed);
    if (handle == nullptr) return FALSE;
    try {
        return Result(action(orb::CurrentServiceManager(), handle->name));
    } catch (...) {
        return Result(ERROR_NOT_ENOUGH_MEMORY);
    }
}

bool ValidManager(SC_HANDLE handle) {
    return handle != nullptr && handle->magic == OrbScHandle::kMagic && handle->isManager;
}

// Windows refuses empty names and names with a backslash; the length bound
// keeps registry paths within their limit.
bool ValidServiceName(LPCSTR name) {
    if (name == nullptr || name[0] == '\0') return false;
    size_t length = strnlen(name, 257);
    return length <= 256 && std::strchr(name, '\\') == nullptr;
}

SC_HANDLE NewHandle(bool isManager, DWORD access, const std::string& name) {
    OrbScHandle* handle = new (std::nothrow) OrbScHandle;
    if (handle == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    handle->isManager = isManager;
    handle->access = access;
    handle->name = name;
    SetLastError(ERROR_SUCCESS);
    return handle;
}

// A new handle for the service name once the manager (with managerAccess),
// the name and then action on the service manager have passed; otherwise
// null with the last error set.
template <typename Action>
SC_HANDLE ServiceByName(SC_HANDLE manager, DWORD managerAccess, LPCSTR name, DWORD access,
                        Action action) {
    if (!ValidManager(manager)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((manager->access & managerAccess) != managerAccess) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (!ValidServiceName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    try {
        DWORD code = action(orb::CurrentServiceManager());
        if (code != ERROR_SUCCESS) {
            SetLastError(code);
            return nullptr;
        }
        return NewHandle(false, access, name);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

}  // namespace

SC_HANDLE OpenSCManagerA(LPCSTR machine, LPCSTR /*database*/, DWORD access) {
    if (machine != nullptr && machine[0] != '\0') {
        SetLastError(ERROR_BAD_NETPATH);
        return nullptr;
    }
    return NewHandle(true, access, "");
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
    return ServiceByName(manager, 0, name, access,
                         [&](orb::ServiceManager& services) { return services.Exists(name); });
}

BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
    return OnService(service, SERVICE_QUERY_STATUS,
                     [&](orb::ServiceManager& services, const std::string& name) -> DWORD {
                         if (status == nullptr) return ERROR_INVALID_PARAMETER;
                         return services.Query(name, status);
                     });
}

BOOL StartServiceA(SC_HANDLE service, DWORD /*argc*/, LPCSTR* /*argv*/) {
    return OnService(service, SERVICE_START,
                     [](orb::ServiceManager& services, const std::string& name) {
                         return services.Start(name);
                     });
}

BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    DWORD needed = control == SERVICE_CONTROL_STOP          ? SERVICE_STOP
                   : control == SERVICE_CONTROL_INTERROGATE ? SERVICE_INTERROGATE
                                                            : 0;
    return OnService(service, needed,
                     [&](orb::ServiceManager& services, const std::string& name) -> DWORD {
                         if (needed == 0) return ERROR_INVALID_SERVICE_CONTROL;
                         if (status == nullptr) return ERROR_INVALID_PARAMETER;
                         DWORD code =
                             control == SERVICE_CONTROL_STOP ? services.Stop(name) : ERROR_SUCCESS;
                         // Windows fills the status in whether or not the control was accepted.
                         if (services.Query(name, status) != ERROR_SUCCESS) {
                             std::memset(status, 0, sizeof *status);
                         }
                         return code;
                     });
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
    if (handle == nullptr || handle->magic != OrbScHandle::kMagic) return Result(ERROR_INVALID_HANDLE);
    handle->magic = 0;
    delete handle;
    return Result(ERROR_SUCCESS);
}

SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                         DWORD /*serviceType*/, DWORD /*startType*/, DWORD /*errorControl*/,
                         LPCSTR binaryPath, LPCSTR /*loadOrderGroup*/, LPDWORD /*tagId*/,
                         LPCSTR /*dependencies*/, LPCSTR /*account*/, LPCSTR /*password*/) {
    return ServiceByName(manager, SC_MANAGER_CREATE_SERVICE, name, access,
                         [&](orb::ServiceManager& services) {
                             return services.Create(name, displayName ? displayName : name,
                                                    binaryPath ? binaryPath : "");
                         });
}

BOOL DeleteService(SC_HANDLE service) {
    return OnService(service, DELETE, [](orb::ServiceManager& services, const std::string& name) {
        return services.Remove(name);
    });
}
