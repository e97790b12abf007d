// Services, the user and the master setup's mailslot.
#include <chrono>
#include <string>
#include <thread>

#include "backup/setupcls/setupcls.h"
#include "platform/account.h"
#include "platform/machine.h"
#include "platform/mailslot.h"
#include "platform/scm.h"

namespace {

constexpr DWORD kDefaultWaitMs = 60000;
constexpr DWORD kPollMs = 100;

// The service's state, or 0 when it cannot be read.
DWORD StateOf(LPCSTR name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return 0;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    DWORD state = 0;
    if (service != nullptr && QueryServiceStatus(service, &status)) state = status.dwCurrentState;
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return state;
}

bool WaitForState(LPCSTR name, DWORD wanted, DWORD timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (StateOf(name) == wanted) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
}

// Opens the service with access and runs control on it.
template <typename Control>
BOOL WithService(LPCSTR name, DWORD access, Control control) {
    if (name == nullptr) return FALSE;
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return FALSE;
    SC_HANDLE service = OpenServiceA(manager, name, access);
    BOOL ok = service != nullptr && control(service);
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return ok;
}

}  // namespace

BOOL CService::ServiceExists(LPCSTR name) const {
    return WithService(name, SERVICE_QUERY_STATUS, [](SC_HANDLE) { return TRUE; });
}

BOOL CService::IsStarted(LPCSTR name) const {
    return name != nullptr && StateOf(name) == SERVICE_RUNNING ? TRUE : FALSE;
}

BOOL CService::StopService(LPCSTR name, BOOL wait, DWORD timeoutMs) const {
    BOOL sent = WithService(name, SERVICE_STOP, [](SC_HANDLE service) {
        SERVICE_STATUS status;
        return ControlService(service, SERVICE_CONTROL_STOP, &status);
    });
    if (!sent || !wait) return sent;
    return WaitForState(name, SERVICE_STOPPED, timeoutMs != 0 ? timeoutMs : kDefaultWaitMs);
}

BOOL CService::StartServiceA(LPCSTR name, BOOL wait) const {
    BOOL sent = WithService(name, SERVICE_START,
                            [](SC_HANDLE service) { return ::StartServiceA(service, 0, nullptr); });
    if (!sent || !wait) return sent;
    return WaitForState(name, SERVICE_RUNNING, kDefaultWaitMs);
}

BOOL CCurrentUser::IsAdministrator() { return IsUserAnAdmin(); }

BOOL CRemoteMailslot::SendStatus(LPCSTR mailslot, int phase, int state) {
    if (mailslot == nullptr || mailslot[0] == '\0') return FALSE;
    std::string text =
        orb::ComputerName() + "\\" + std::to_string(phase) + "\\" + std::to_string(state);
    return orb::SendMailslot(mailslot, text) ? TRUE : FALSE;
}

BOOL CRemoteMailslot::SendStatus(LPCSTR computer, int phase, int state, LPCSTR product,
                                 LPCSTR text) {
    const std::string mailslot = CSettings::CurrentMailslot();
    if (mailslot.empty()) return FALSE;
    std::string datagram = std::string(computer != nullptr ? computer : "") + "\\" +
                           std::to_string(phase) + "\\" + std::to_string(state) + "\\" +
                           (product != nullptr ? product : "") + "\\" + (text != nullptr ? text : "");
    return orb::SendMailslot(mailslot, datagram) ? TRUE : FALSE;
}
