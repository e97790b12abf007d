// ShellExecuteA: a program is started with its parameters; a URL or a
// document goes to the desktop opener (ORB_SHELL_OPEN, default xdg-open).
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/pathsearch.h"
#include "platform/process.h"

namespace orb {

std::string ShellOpenCommand() {
    const char* command = getenv("ORB_SHELL_OPEN");
    return command && *command ? command : "xdg-open";
}

}  // namespace orb

namespace {

// Windows answers with a value above 32 when it started something.
constexpr intptr_t kStarted = 42;

// How long the opener may take to say it has no handler. Openers hand the
// document to a viewer and end at once; one that fails does so quickly too.
// One still running after this has started a viewer itself: success.
constexpr DWORD kOpenerVerdictMs = 5000;

// "scheme:..." with a scheme of two letters or more ("C:..." is a drive).
bool IsUrl(const std::string& text) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2) return false;
    for (size_t i = 0; i < colon; ++i) {
        char c = text[i];
        bool ok = isalpha(static_cast<unsigned char>(c)) ||
                  (i > 0 && (isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'));
        if (!ok) return false;
    }
    return true;
}

intptr_t OpenWithOpener(const std::string& document, const std::string& directory) {
    std::vector<std::string> argv = orb::SplitCommandLine(orb::ShellOpenCommand());
    argv.push_back(document);
    orb::Process opener;
    if (!orb::StartProgram(argv, directory, &opener)) return SE_ERR_NOASSOC;
    DWORD code = 0;
    if (!orb::WaitProcess(opener, kOpenerVerdictMs, &code)) {
        orb::ReleaseProcess(opener);
        return kStarted;
    }
    return code == 0 ? kStarted : SE_ERR_NOASSOC;
}

intptr_t StartWithParameters(const std::string& program, const char* parameters,
                             const std::string& directory) {
    // Parameters follow Windows command-line rules; a stand-in program name
    // in front lets the one splitter do both.
    std::vector<std::string> argv =
        orb::SplitCommandLine(std::string("x ") + (parameters ? parameters : ""));
    argv[0] = program;
    orb::Process process;
    if (!orb::StartProgram(argv, directory, &process)) {
        return GetLastError() == ERROR_ACCESS_DENIED ? SE_ERR_ACCESSDENIED : SE_ERR_FNF;
    }
    orb::ReleaseProcess(process);
    return kStarted;
}

}  // namespace

intptr_t ShellExecuteA(void* /*hwnd*/, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                       LPCSTR directory, int /*show*/) {
    if (verb && *verb && orb::Lower(verb) != "open") return SE_ERR_NOASSOC;
    if (!file || !*file) return SE_ERR_FNF;
    std::string dir = directory ? orb::ToSlashes(directory) : "";
    if (IsUrl(file)) return OpenWithOpener(file, dir);
    std::string path = orb::ToSlashes(file);
    if (!orb::ResolveProgram(path, dir).empty()) return StartWithParameters(path, parameters, dir);
    if (orb::IsRegularFile(path)) {
        // The opener may run elsewhere than here: give it the full path.
        std::error_code ignored;
        return OpenWithOpener(std::filesystem::absolute(path, ignored).string(), dir);
    }
    return SE_ERR_FNF;
}
