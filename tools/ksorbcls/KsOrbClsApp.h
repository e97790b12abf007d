// ksorbcls: imports the backup product's repository classes into the
// management framework. After the user agrees, it starts the framework's
// import tool on the class-definition file beside the program, and does not
// wait for it. Windowless: all its work is its instance initialisation.
#pragma once

#include <string>

#include "platform/win32.h"

// The class-definition file beside the program at programPath: its
// directory (up to and including the last "/") followed by "Lumora.orb".
// A path without a directory gives the bare file name.
std::string ClassFileBeside(const std::string& programPath);
// "QUILL.EXE /q /g /x " and a second blank before the quoted file: the
// import tool finds its file whatever the blanks in its path. Empty when the
// path holds a quotation mark, which no quoting can pass through intact
// (Windows file names cannot hold one; Linux ones can).
std::string ImportCommand(const std::string& classFile);

class CKsOrbClsApp {
  public:
    // Asks the question; on Yes starts the import. Always FALSE.
    BOOL InitInstance();
    // 0 after No or a started import; 1 when the import could not be
    // started (standard error says why).
    int ExitCode() const { return exitCode_; }

  private:
    int exitCode_ = 0;
};
