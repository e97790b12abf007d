// ksorbcls: asks, then imports the backup product's repository classes
// ("Lumora.orb" beside this program) with the framework's import tool.
#include "tools/ksorbcls/KsOrbClsApp.h"

int main() {
    CKsOrbClsApp app;
    app.InitInstance();
    return app.ExitCode();
}
