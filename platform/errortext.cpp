// The system's message table for the error codes this system meets, in the
// words Windows uses for them, and exit codes read as the platform makes
// them (128 + n for a process that signal n ended).
#include "platform/errortext.h"

#include <cstring>
#include <string>

#include "platform/ui.h"

namespace {

struct SystemText {
    DWORD code;
    const char* text;
};

const SystemText kSystemTexts[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
    {ERROR_BAD_FORMAT, "An attempt was made to load a program with an incorrect format."},
    {ERROR_WRITE_FAULT, "The system cannot write to the specified device."},
    {ERROR_BAD_NETPATH, "The network path was not found."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_DISK_FULL, "There is not enough space on the disk."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_MOD_NOT_FOUND, "The specified module could not be found."},
    {ERROR_PROC_NOT_FOUND, "The specified procedure could not be found."},
    {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long."},
    {ERROR_BAD_FILE_TYPE, "The file type being saved or retrieved has been blocked."},
    {ERROR_FILE_TOO_LARGE, "The file size exceeds the limit allowed and cannot be saved."},
    {ERROR_MORE_DATA, "More data is available."},
    {ERROR_NO_MORE_ITEMS, "No more data is available."},
    {ERROR_MR_MID_NOT_FOUND,
     "The system cannot find message text for message number 0x%1 in the message file for %2."},
    {ERROR_BADDB, "The configuration registry database is corrupt."},
    {ERROR_BADKEY, "The configuration registry key is invalid."},
    {ERROR_CANTOPEN, "The configuration registry key could not be opened."},
    {ERROR_CANTREAD, "The configuration registry key could not be read."},
    {ERROR_CANTWRITE, "The configuration registry key could not be written."},
    {ERROR_KEY_DELETED, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {ERROR_SERVICE_ALREADY_RUNNING, "An instance of the service is already running."},
    {ERROR_SERVICE_DOES_NOT_EXIST, "The specified service does not exist as an installed service."},
    {ERROR_SERVICE_NOT_ACTIVE, "The service has not been started."},
    {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle."},
    {ERROR_CANT_RESOLVE_FILENAME, "The name of the file cannot be resolved by the system."},
    {ERROR_TIMEOUT, "This operation returned because the timeout period expired."},
};

}  // namespace

namespace orb {

std::string SystemErrorText(DWORD code) {
    for (const SystemText& entry : kSystemTexts) {
        if (entry.code == code) return entry.text;
    }
    return "";
}

std::string SignalExitText(DWORD code) {
    // Above every real signal number, a code is the program's own.
    if (code <= 128 || code >= 128 + 65) return "";
    return EndSignalText(static_cast<int>(code - 128));
}

std::string EndSignalText(int signal) {
    if (signal <= 0) return "";
    const char* name = sigdescr_np(signal);  // thread-safe, unlike strsignal
    return "Ended by signal " + std::to_string(signal) +
           (name != nullptr ? std::string(" (") + name + ")" : std::string()) + ".";
}

}  // namespace orb

DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD /*languageId*/,
                     LPSTR buffer, DWORD size, va_list* /*arguments*/) {
    const DWORD supported = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                            FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & ~supported) != 0 || source != nullptr ||
        buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (size > 0) buffer[0] = '\0';
    const std::string text = orb::SystemErrorText(messageId);
    if (text.empty()) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const std::string line = text + "\r\n";
    if (line.size() + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, line.c_str(), line.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(line.size());
}
