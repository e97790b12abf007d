// The installer session kept in a file of the machine root, so that the
// driver and every copy of this layer (one per loaded library) share it.
//   <root>/tmp/installer/<handle>.json  properties, run modes, log file name
//   <root>/tmp/installer/<handle>.log   the lines logged in this session
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/filelock.h"
#include "platform/machine.h"
#include "platform/privatefs.h"
#include "platform/msi.h"
#include "platform/registry.h"
#include "platform/textfile.h"

namespace orb {
namespace {

using nlohmann::json;

std::string SessionDirectory() { return TempDirectory() + "/installer"; }
std::string SessionFile(MSIHANDLE handle) {
    return SessionDirectory() + "/" + std::to_string(handle) + ".json";
}
std::string SessionLog(MSIHANDLE handle) {
    return SessionDirectory() + "/" + std::to_string(handle) + ".log";
}

// A session handle: the driver's process id and a counter, so that
// installations running at once on one machine never share a handle.
// Record handles have the top bit set and are never sessions.
constexpr MSIHANDLE kRecordBit = 0x80000000u;

MSIHANDLE NewSessionHandle() {
    static std::atomic<unsigned> counter{0};
    unsigned pid = static_cast<unsigned>(getpid()) & 0x3FFFFFu;
    return ((pid << 8) | (++counter & 0xFFu)) & ~kRecordBit;
}

// The session's state, or false when the handle names none.
bool Load(MSIHANDLE handle, json* state) {
    if (handle == 0 || (handle & kRecordBit) != 0) return false;
    std::string text;
    if (!ReadTextFile(SessionFile(handle), &text)) return false;
    *state = json::parse(text, nullptr, false);
    return state->is_object();
}

// One locked read-change-write of the session file.
bool Edit(MSIHANDLE handle, const std::function<void(json&)>& change) {
    if (handle == 0 || (handle & kRecordBit) != 0) return false;
    bool found = false;
    EditTextFile(SessionFile(handle), [&](std::string& text) {
        json state = json::parse(text, nullptr, false);
        if (!state.is_object()) return false;
        found = true;
        change(state);
        text = state.dump();
        return true;
    });
    return found;
}

std::string PropertyOf(const json& state, const std::string& name) {
    const json& properties = state["properties"];
    auto it = properties.find(name);
    return it != properties.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// Copies value into buffer with the installer's rules (see msi.h).
UINT CopyOut(const std::string& value, LPSTR buffer, LPDWORD size) {
    if (size == nullptr) return buffer == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    DWORD capacity = *size;
    *size = static_cast<DWORD>(value.size());
    if (buffer == nullptr) return ERROR_SUCCESS;
    if (capacity == 0) return ERROR_MORE_DATA;
    size_t n = std::min<size_t>(value.size(), capacity - 1);
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return n < value.size() ? ERROR_MORE_DATA : ERROR_SUCCESS;
}

struct Records {
    std::mutex lock;
    std::map<MSIHANDLE, std::map<UINT, std::string>> fields;
    MSIHANDLE next = 0;
};
Records& TheRecords() {
    static Records* const records = new Records;  // outlives any caller's statics
    return *records;
}

void AppendLine(MSIHANDLE handle, const json& state, const std::string& text) {
    std::string line = text + "\n";
    AppendLocked(SessionLog(handle), line.data(), line.size());
    auto log = state.find("logFile");
    if (log != state.end() && log->is_string() && !log->get<std::string>().empty())
        AppendLocked(log->get<std::string>(), line.data(), line.size());
}

}  // namespace

std::unique_ptr<InstallerSession> InstallerSession::Create(const std::string& logFile) {
    MakePrivateDirectories(SessionDirectory());
    MSIHANDLE handle = NewSessionHandle();
    json state = {{"properties", json::object()}, {"modes", json::object()}, {"logFile", logFile}};
    bool written = EditTextFile(SessionFile(handle), [&](std::string& text) {
        text = state.dump();
        return true;
    });
    if (!written) return nullptr;
    std::error_code ignored;
    std::filesystem::remove(SessionLog(handle), ignored);
    return std::unique_ptr<InstallerSession>(new InstallerSession(handle));
}

InstallerSession::~InstallerSession() {
    std::error_code ignored;
    std::filesystem::remove(SessionFile(handle_), ignored);
    std::filesystem::remove(SessionLog(handle_), ignored);
}

std::string InstallerSession::Property(const std::string& name) const {
    json state;
    return Load(handle_, &state) ? PropertyOf(state, name) : std::string();
}

void InstallerSession::SetProperty(const std::string& name, const std::string& value) {
    MsiSetPropertyA(handle_, name.c_str(), value.c_str());
}

std::map<std::string, std::string> InstallerSession::Properties() const {
    std::map<std::string, std::string> out;
    json state;
    if (!Load(handle_, &state)) return out;
    for (auto& [name, value] : state["properties"].items())
        if (value.is_string()) out[name] = value.get<std::string>();
    return out;
}

bool InstallerSession::Mode(MSIRUNMODE mode) const { return MsiGetMode(handle_, mode) != FALSE; }
void InstallerSession::SetMode(MSIRUNMODE mode, bool state) { MsiSetMode(handle_, mode, state); }

std::string InstallerSession::LogText() const {
    std::string text;
    ReadTextFile(SessionLog(handle_), &text);
    return text;
}

std::string InstalledProductKey(const std::string& productCode) {
    return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
}

LONG RegisterInstalledProduct(const std::string& productCode, const std::string& name,
                              const std::string& version) {
    LONG code = RegSetString(InstalledProductKey(productCode), "DisplayName", name);
    if (code == ERROR_SUCCESS)
        code = RegSetString(InstalledProductKey(productCode), "DisplayVersion", version);
    return code;
}

LONG RemoveInstalledProduct(const std::string& productCode) {
    return RegRemoveKey(InstalledProductKey(productCode));
}

}  // namespace orb

using orb::json;

UINT MsiGetPropertyA(MSIHANDLE install, LPCSTR name, LPSTR value, LPDWORD size) {
    if (name == nullptr) return ERROR_INVALID_PARAMETER;
    json state;
    if (!orb::Load(install, &state)) return ERROR_INVALID_HANDLE;
    return orb::CopyOut(orb::PropertyOf(state, name), value, size);
}

UINT MsiSetPropertyA(MSIHANDLE install, LPCSTR name, LPCSTR value) {
    if (name == nullptr || name[0] == '\0') return ERROR_INVALID_PARAMETER;
    bool ok = orb::Edit(install, [&](json& state) {
        if (value == nullptr || value[0] == '\0') {
            state["properties"].erase(name);
        } else {
            state["properties"][name] = value;
        }
    });
    return ok ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

BOOL MsiGetMode(MSIHANDLE install, MSIRUNMODE mode) {
    json state;
    if (!orb::Load(install, &state)) return FALSE;
    auto it = state["modes"].find(std::to_string(static_cast<int>(mode)));
    return it != state["modes"].end() && it->is_boolean() && it->get<bool>() ? TRUE : FALSE;
}

UINT MsiSetMode(MSIHANDLE install, MSIRUNMODE mode, BOOL on) {
    bool ok = orb::Edit(install, [&](json& state) {
        state["modes"][std::to_string(static_cast<int>(mode))] = on != FALSE;
    });
    return ok ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

MSIHANDLE MsiCreateRecord(UINT fields) {
    if (fields > 65535) return 0;
    orb::Records& records = orb::TheRecords();
    std::lock_guard<std::mutex> hold(records.lock);
    MSIHANDLE handle = orb::kRecordBit | (++records.next & 0x7FFFFFFFu);
    records.fields[handle];
    return handle;
}

UINT MsiRecordSetStringA(MSIHANDLE record, UINT field, LPCSTR value) {
    orb::Records& records = orb::TheRecords();
    std::lock_guard<std::mutex> hold(records.lock);
    auto it = records.fields.find(record);
    if (it == records.fields.end()) return ERROR_INVALID_HANDLE;
    it->second[field] = value != nullptr ? value : "";
    return ERROR_SUCCESS;
}

int MsiProcessMessage(MSIHANDLE install, INSTALLMESSAGE /*kind*/, MSIHANDLE record) {
    std::string text;
    {
        orb::Records& records = orb::TheRecords();
        std::lock_guard<std::mutex> hold(records.lock);
        auto it = records.fields.find(record);
        if (it == records.fields.end()) return -1;
        text = it->second[0];
    }
    json state;
    if (!orb::Load(install, &state)) return -1;
    orb::AppendLine(install, state, text);
    return 1;  // IDOK
}

UINT MsiCloseHandle(MSIHANDLE handle) {
    if ((handle & orb::kRecordBit) == 0) return ERROR_SUCCESS;  // sessions end with their owner
    orb::Records& records = orb::TheRecords();
    std::lock_guard<std::mutex> hold(records.lock);
    return records.fields.erase(handle) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

UINT MsiGetProductInfoA(LPCSTR product, LPCSTR attribute, LPSTR value, LPDWORD size) {
    if (product == nullptr || attribute == nullptr) return ERROR_INVALID_PARAMETER;
    std::string version;
    LONG code = orb::RegGetString(orb::InstalledProductKey(product), "DisplayVersion", &version);
    if (code != ERROR_SUCCESS) {
        std::vector<orb::RegValue> values;
        if (orb::RegReadValues(orb::InstalledProductKey(product), &values) != ERROR_SUCCESS)
            return ERROR_UNKNOWN_PRODUCT;
    }
    if (std::strcmp(attribute, INSTALLPROPERTY_VERSION) != 0 &&
        std::strcmp(attribute, INSTALLPROPERTY_VERSIONSTRING) != 0)
        return ERROR_UNKNOWN_PROPERTY;
    return orb::CopyOut(version, value, size);
}
