// CreateProcessA and the handles of the processes it starts. Handles are
// numbers in a table, so a closed or made-up one is refused rather than
// followed; a process and its "thread" handle share one entry.
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/pathsearch.h"
#include "platform/process.h"

namespace {

struct Entry {
    std::mutex mutex;  // one waiter or reader of the process at a time
    orb::Process process;
    int openHandles = 2;
};

class HandleTable {
  public:
    std::pair<PROCESS_HANDLE, PROCESS_HANDLE> Add(const orb::Process& process) {
        auto entry = std::make_shared<Entry>();
        entry->process = process;
        std::lock_guard<std::mutex> lock(mutex_);
        PROCESS_HANDLE first = NextHandle(), second = NextHandle();
        handles_[first] = entry;
        handles_[second] = entry;
        return {first, second};
    }

    std::shared_ptr<Entry> Find(PROCESS_HANDLE handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = handles_.find(handle);
        return it == handles_.end() ? nullptr : it->second;
    }

    // The entry when this was its last handle.
    bool Close(PROCESS_HANDLE handle, std::shared_ptr<Entry>* last) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = handles_.find(handle);
        if (it == handles_.end()) return false;
        std::shared_ptr<Entry> entry = it->second;
        handles_.erase(it);
        if (--entry->openHandles == 0) *last = entry;
        return true;
    }

  private:
    PROCESS_HANDLE NextHandle() {
        // Multiples of 4, as Windows hands them out; never 0.
        next_ += 4;
        return reinterpret_cast<PROCESS_HANDLE>(next_);
    }

    std::mutex mutex_;
    uintptr_t next_ = 0x200;
    std::map<PROCESS_HANDLE, std::shared_ptr<Entry>> handles_;
};

HandleTable& Handles() {
    static HandleTable* table = new HandleTable;  // outlives every static destructor
    return *table;
}

}  // namespace

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, void* /*processAttributes*/,
                    void* /*threadAttributes*/, BOOL /*inheritHandles*/, DWORD /*creationFlags*/,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation) {
    if (processInformation == nullptr || startupInfo == nullptr || environment != nullptr ||
        (applicationName == nullptr && commandLine == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::memset(processInformation, 0, sizeof *processInformation);
    const std::string line = commandLine != nullptr ? commandLine : "";
    const std::string dir = currentDirectory != nullptr ? currentDirectory : "";
    orb::Process process;
    bool started = false;
    if (applicationName == nullptr) {
        started = orb::StartProcess(line, dir, &process);
    } else {
        // The program is named exactly; the command line only gives argv.
        std::vector<std::string> argv = orb::SplitCommandLine(line);
        if (argv.empty()) argv.push_back(applicationName);
        const std::string path = orb::ToSlashes(applicationName);
        std::vector<std::string> named = argv;
        named[0] = path;
        started = orb::StartProgram(named, dir, &process);
    }
    if (!started) return FALSE;
    auto handles = Handles().Add(process);
    processInformation->hProcess = handles.first;
    processInformation->hThread = handles.second;
    processInformation->dwProcessId = static_cast<DWORD>(process.pid);
    processInformation->dwThreadId = static_cast<DWORD>(process.pid);
    return TRUE;
}

DWORD WaitForSingleObject(PROCESS_HANDLE handle, DWORD timeoutMs) {
    std::shared_ptr<Entry> entry = Handles().Find(handle);
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::lock_guard<std::mutex> lock(entry->mutex);
    if (orb::WaitProcess(entry->process, timeoutMs, nullptr)) return WAIT_OBJECT_0;
    return GetLastError() == ERROR_TIMEOUT ? WAIT_TIMEOUT : WAIT_FAILED;
}

BOOL GetExitCodeProcess(PROCESS_HANDLE handle, LPDWORD exitCode) {
    std::shared_ptr<Entry> entry = Handles().Find(handle);
    if (!entry || exitCode == nullptr) {
        SetLastError(entry ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(entry->mutex);
    if (!orb::WaitProcess(entry->process, 0, exitCode)) *exitCode = STILL_ACTIVE;
    return TRUE;
}

namespace orb {

int ProcessEndSignal(PROCESS_HANDLE handle) {
    std::shared_ptr<Entry> entry = Handles().Find(handle);
    if (!entry) return 0;
    std::lock_guard<std::mutex> lock(entry->mutex);
    return entry->process.ended ? entry->process.endSignal : 0;
}

}  // namespace orb

BOOL CloseHandle(PROCESS_HANDLE handle) {
    std::shared_ptr<Entry> last;
    if (!Handles().Close(handle, &last)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (last) {
        std::lock_guard<std::mutex> lock(last->mutex);
        orb::ReleaseProcess(last->process);
    }
    return TRUE;
}
