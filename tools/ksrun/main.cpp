// ksrun: starts a program of the backup product relative to its home
// directory. Usage: ksrun PROGRAM [ARGUMENTS...]
#include <string>
#include <vector>

#include "platform/process.h"
#include "tools/ksrun/KsRunApp.h"

int main(int argc, char** argv) {
    CKsRunApp app;
    app.InitInstance(orb::JoinCommandLine(std::vector<std::string>(argv + 1, argv + argc)));
    return app.ExitCode();
}
