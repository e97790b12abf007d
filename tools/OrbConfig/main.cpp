// OrbConfig: runs ksorbcls from the framework's program directory when the
// framework's repository component is installed (the installer starts it
// after installation).
#include "tools/OrbConfig/OrbConfigApp.h"

int main() {
    COrbConfigApp app;
    app.InitInstance();
    return app.ExitCode();
}
