// Window handles and message queues. A handle is a number in a table, so a
// worker that posts to a dialog which has already gone gets a refusal
// instead of touching freed memory.
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>
#include <map>

#include "platform/ui/window_core.h"

namespace orb {

WindowCore::WindowCore() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WindowCore::~WindowCore() {
    if (wakeFd_ >= 0) close(wakeFd_);
}

bool WindowCore::Post(const QueuedMessage& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(message);
    uint64_t one = 1;
    // A full counter still wakes the reader; nothing to do on failure.
    if (wakeFd_ >= 0 && write(wakeFd_, &one, sizeof one) < 0) return true;
    return true;
}

bool WindowCore::Take(QueuedMessage* message) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) return false;
    *message = queue_.front();
    queue_.pop_front();
    return true;
}

void WindowCore::ClearWake() {
    uint64_t count;
    if (wakeFd_ >= 0 && read(wakeFd_, &count, sizeof count) < 0) return;
}

namespace {

struct WindowEntry {
    std::shared_ptr<WindowCore> local;
    std::string remoteTitle;
};

struct WindowTable {
    std::mutex mutex;
    std::map<uintptr_t, WindowEntry> entries;
    std::map<std::string, uintptr_t> remoteByTitle;
    uintptr_t next = 0x10000;
    FrontEnd* active = nullptr;
};

WindowTable& Table() {
    static WindowTable* table = new WindowTable;  // outlives every static destructor
    return *table;
}

HWND ToHandle(uintptr_t value) { return reinterpret_cast<HWND>(value); }
uintptr_t FromHandle(HWND window) { return reinterpret_cast<uintptr_t>(window); }

HWND AddEntry(WindowTable& table, WindowEntry entry) {
    uintptr_t value = table.next;
    table.next += 4;  // never 0, never reused
    table.entries.emplace(value, std::move(entry));
    return ToHandle(value);
}

Dialog* DialogOf(HWND window) {
    std::shared_ptr<WindowCore> core = LocalWindow(window);
    if (core == nullptr || core->dialog == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return core->dialog;
}

}  // namespace

HWND RegisterWindow(std::shared_ptr<WindowCore> core) {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    return AddEntry(table, WindowEntry{std::move(core), {}});
}

void UnregisterWindow(HWND window) {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.entries.erase(FromHandle(window));
}

std::shared_ptr<WindowCore> LocalWindow(HWND window) {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto found = table.entries.find(FromHandle(window));
    return found == table.entries.end() ? nullptr : found->second.local;
}

HWND RemoteWindowHandle(const std::string& title) {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto known = table.remoteByTitle.find(title);
    if (known != table.remoteByTitle.end()) return ToHandle(known->second);
    HWND window = AddEntry(table, WindowEntry{nullptr, title});
    table.remoteByTitle[title] = FromHandle(window);
    return window;
}

bool RemoteWindowTitle(HWND window, std::string* title) {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto found = table.entries.find(FromHandle(window));
    if (found == table.entries.end() || found->second.local != nullptr) return false;
    *title = found->second.remoteTitle;
    return true;
}

void SetActiveFrontEnd(FrontEnd* frontEnd) {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.active = frontEnd;
}

FrontEnd* ActiveFrontEnd() {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.active;
}

}  // namespace orb

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<orb::WindowCore> core = orb::LocalWindow(window);
    if (core == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return core->Post({message, wParam, lParam}) ? TRUE : FALSE;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    orb::Dialog* owner = orb::DialogOf(dialog);
    if (owner == nullptr || owner->Item(id) == nullptr) return FALSE;
    owner->SetItemText(id, text == nullptr ? "" : text);
    return TRUE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    buffer[0] = '\0';
    orb::Dialog* owner = orb::DialogOf(dialog);
    if (owner == nullptr) return 0;
    std::string text = owner->ItemText(id);
    size_t length = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<UINT>(length);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    orb::Dialog* owner = orb::DialogOf(dialog);
    if (owner == nullptr || owner->Item(id) == nullptr) return FALSE;
    owner->CheckItem(id, check == BST_CHECKED);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    orb::Dialog* owner = orb::DialogOf(dialog);
    return owner != nullptr && owner->IsItemChecked(id) ? BST_CHECKED : BST_UNCHECKED;
}

BOOL EnableDlgItem(HWND dialog, int id, BOOL enable) {
    orb::Dialog* owner = orb::DialogOf(dialog);
    if (owner == nullptr || owner->Item(id) == nullptr) return FALSE;
    owner->EnableItem(id, enable != FALSE);
    return TRUE;
}
