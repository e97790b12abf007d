#include "publisher/RepositoryFailure.h"

#include "framework/nwomapi/nwomapi.h"
#include "platform/sync.h"

namespace publisher {
namespace {

constexpr int kReachAttempts = 4;
constexpr DWORD kReachPauseMs = 300;

bool ConnectsOnce(const std::string& repository) {
    ORBOM_KERNEL kernel = 0;
    if (ORBOM_Kernel_Start("VaultlineObjectCreation", &kernel, 0) != 0 || kernel == 0) return false;
    // No name: the framework's default, as the library takes it.
    char name[32] = {};
    if (repository.empty() && (ORBOM_Repository_EnumBegin(kernel, 1) != 0 ||
                               ORBOM_Repository_EnumNext(kernel, name, sizeof name) != 0)) {
        ORBOM_Kernel_Stop(&kernel);
        return false;
    }
    ORBOM_CONNECTION connection = 0;
    const bool connected =
        ORBOM_Repository_Connect(kernel, repository.empty() ? name : repository.c_str(),
                                 &connection) == 0;
    if (connection != 0) ORBOM_Repository_Disconnect(&connection);
    ORBOM_Kernel_Stop(&kernel);
    return connected;
}

}  // namespace

bool IsRepositoryFailure(int32_t rc) {
    switch (rc) {
        case ORBOM_RC_REPOSITORY_DAMAGED:
        case ORBOM_RC_REPOSITORY_LOGIN_FAILED:
        case ORBOM_RC_REPOSITORY_NATIVE_ERROR:
        case ORBOM_RC_REPOSITORY_CONNECTION_BUSY:
        case ORBOM_RC_REPOSITORY_CONNECTION_LOST:
            return true;
        default:
            return false;
    }
}

const char* RepositoryFailureText(int32_t rc) {
    switch (rc) {
        case ORBOM_RC_REPOSITORY_DAMAGED:
            return "the repository is damaged";
        case ORBOM_RC_REPOSITORY_LOGIN_FAILED:
            return "the repository refused the sign-on";
        case ORBOM_RC_REPOSITORY_NATIVE_ERROR:
            return "the repository could not do the work (disk full or refused)";
        case ORBOM_RC_REPOSITORY_CONNECTION_BUSY:
            return "the repository was busy";
        case ORBOM_RC_REPOSITORY_CONNECTION_LOST:
            return "the connection to the repository was lost";
        default:
            return "";
    }
}

bool RepositoryReachable(const std::string& repository) {
    for (int attempt = 0; attempt < kReachAttempts; ++attempt) {
        if (attempt > 0) orb::SleepMs(kReachPauseMs);
        if (ConnectsOnce(repository)) return true;
    }
    return false;
}

}  // namespace publisher
