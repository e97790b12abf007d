// Help through the desktop opener, or its location printed when nobody
// could look at it.
#include "backup/kestprod/kestprod.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/pathsearch.h"
#include "platform/process.h"

namespace kestprod {

namespace {

std::string Escaped(const std::string& text, const char* alsoKept) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string escaped;
    for (unsigned char c : text) {
        if (std::isalnum(c) || std::strchr("-._~", c) != nullptr ||
            (c != '\0' && std::strchr(alsoKept, c) != nullptr)) {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 15];
        }
    }
    return escaped;
}

// The file as given, else with backslashes read as separators.
std::string ExistingFile(const std::string& given) {
    if (orb::IsRegularFile(given)) return given;
    std::string slashed = orb::ToSlashes(given);
    return orb::IsRegularFile(slashed) ? slashed : std::string();
}

BOOL Fail(DWORD code, const std::string& why) {
    orb::UiNotice(why);
    SetLastError(code);
    return FALSE;
}

}  // namespace

std::string HelpAddress(const std::string& path, const std::string& topic) {
    std::error_code ec;
    std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
    if (ec) absolute = path;
    std::string address = "file://" + Escaped(absolute, "/");
    if (!topic.empty()) address += "#" + Escaped(topic, "");
    return address;
}

}  // namespace kestprod

BOOL KestProdHelp(HWND /*owner*/, LPCSTR helpFile, UINT command, LPCSTR topic) {
    try {
        if (helpFile == nullptr || *helpFile == '\0' ||
            (command != KESTPROD_HELP_CONTENTS && command != KESTPROD_HELP_TOPIC) ||
            (command == KESTPROD_HELP_TOPIC && (topic == nullptr || *topic == '\0'))) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::string file = kestprod::ExistingFile(helpFile);
        if (file.empty()) {
            return kestprod::Fail(ERROR_FILE_NOT_FOUND,
                                  std::string("Help file not found: ") + helpFile);
        }
        std::string address =
            kestprod::HelpAddress(file, command == KESTPROD_HELP_TOPIC ? topic : "");
        if (orb::CurrentUiSettings().frontEnd == orb::FrontEndKind::Batch) {
            orb::UiNotice("Help: " + address);
            return TRUE;
        }
        if (ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL) > 32) {
            return TRUE;
        }
        return kestprod::Fail(ERROR_NO_ASSOCIATION, "Help could not be opened (" +
                                                        orb::ShellOpenCommand() + "): " + address);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}
