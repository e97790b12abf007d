// ksorbx: publishes the backup servers of the discovery table into the
// management framework's repository.
#include <string>
#include <vector>

#include "publisher/app/PublisherApp.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CPublisherApp app;
    return app.Run(args);
}
