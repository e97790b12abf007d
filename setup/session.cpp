// The installer session as the actions use it, and the installer log.
#include <cstring>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "setup/actions.h"

namespace orbf {

bool ReadProperty(MSIHANDLE install, const char* name, DWORD size, std::string* value) {
    std::vector<char> buffer(size + 1, '\0');
    DWORD length = size;
    UINT code = MsiGetPropertyA(install, name, buffer.data(), &length);
    *value = code == ERROR_SUCCESS ? std::string(buffer.data()) : std::string();
    return code == ERROR_SUCCESS;
}

std::string Property(MSIHANDLE install, const char* name, DWORD size) {
    std::string value;
    ReadProperty(install, name, size, &value);
    return value;
}

void SetProperty(MSIHANDLE install, const char* name, const std::string& value) {
    MsiSetPropertyA(install, name, value.c_str());
}

void LogLine(MSIHANDLE install, const char* format, const std::string& argument) {
    std::string line = FormatText(format, {argument});
    if (line.size() > 255) line.resize(255);
    MSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringA(record, 0, line.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    MsiCloseHandle(record);
}

std::string Environment(const char* name, DWORD size) {
    std::vector<char> buffer(size, '\0');
    DWORD length = GetEnvironmentVariableA(name, buffer.data(), size);
    if (length == 0 || length >= size) return "";
    return std::string(buffer.data(), length);
}

}  // namespace orbf
