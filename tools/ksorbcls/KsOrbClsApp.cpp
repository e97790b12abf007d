#include "tools/ksorbcls/KsOrbClsApp.h"

#include <cstdio>

#include "platform/dynload.h"
#include "platform/ui.h"
#include "tools/ResourceSource.h"
#include "tools/StartOnItsOwn.h"

namespace {

constexpr UINT kQuestionText = 21;
constexpr UINT kQuestionCaption = 24;

}  // namespace

std::string ClassFileBeside(const std::string& programPath) {
    // "/" never occurs inside a multi-byte character of the platform's
    // character set (UTF-8), so the last one found byte by byte ends the
    // directory.
    const size_t slash = programPath.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : programPath.substr(0, slash + 1);
    return dir + "Lumora.orb";
}

std::string ImportCommand(const std::string& classFile) {
    if (classFile.find('"') != std::string::npos) return "";
    return std::string("QUILL.EXE /q /g /x ") + " \"" + classFile + "\"";
}

BOOL CKsOrbClsApp::InitInstance() {
    CResourceSource resources;
    const std::string question = resources.Text(kQuestionText);
    const std::string caption = resources.Text(kQuestionCaption);
    if (MessageBoxA(nullptr, question.c_str(), caption.c_str(), MB_YESNO) != IDYES) return FALSE;

    char program[1024] = {};
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    // A cut-off path would name a class file that is not ours.
    if (length == 0 || length >= sizeof program) {
        std::fprintf(stderr, "ksorbcls: the program's own path cannot be read\n");
        exitCode_ = 1;
        return FALSE;
    }
    const std::string command = ImportCommand(ClassFileBeside(program));
    if (command.empty()) {
        std::fprintf(stderr, "ksorbcls: the class file's path holds a '\"', which the import "
                             "cannot be given: %s\n", ClassFileBeside(program).c_str());
        exitCode_ = 1;
        return FALSE;
    }
    if (!StartOnItsOwn("ksorbcls", command)) exitCode_ = 1;
    return FALSE;
}
