#include <cstdio>
#include <functional>
#include <string>

#include "publisher/app/repository_name.h"

namespace {

const char* const kClientName = "VaultlineObjectCreation";

std::string Formatted(const ProbeContext& context, UINT textId, int code) {
    const std::string format = context.text ? context.text(textId) : std::string();
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format.empty() ? "%d" : format.c_str(), code);
    return buffer;
}

void Log(const ProbeContext& context, const std::string& line) {
    if (context.log) context.log(line);
}

// The framework's default repository: the first of its listing.
bool DefaultRepository(const ProbeContext& context, ORBOM_KERNEL kernel, std::string* name) {
    if (context.client.enumBegin(kernel, ORBOM_ENUM_DEFAULT_FIRST) != 0) return false;
    char buffer[32] = {};
    if (context.client.enumNext(kernel, buffer, sizeof buffer) != 0) return false;
    *name = buffer;
    return true;
}

bool ChooseName(const ProbeContext& context, const PublisherCommandLine& command,
                ORBOM_KERNEL kernel, std::string* name) {
    if (!command.repositoryGiven) {
        *name = GetRepositoryName(context.log);
        if (name->empty()) Log(context, "Failed to get computer name!");
        return !name->empty();
    }
    if (!command.repository.empty()) {
        *name = command.repository;
        return true;
    }
    return DefaultRepository(context, kernel, name);
}

}  // namespace

namespace {

// Starts a kernel, lets choose name the repository, connects to it and
// leaves nothing open.
std::string Probe(const ProbeContext& context,
                  const std::function<bool(ORBOM_KERNEL, std::string*)>& choose) {
    Log(context, std::string("Call ORBOM_Kernel_Start() to ") + kClientName);
    ORBOM_KERNEL kernel = 0;
    const ORBOM_RC started = context.client.kernelStart(kClientName, &kernel, 0);
    if (kernel == 0) {
        const int code = started == 0 ? -1 : static_cast<int>(started);
        if (context.message) context.message(Formatted(context, 12, code));
        Log(context, "ORBOM_Kernel_Start Fails! rc = " + std::to_string(code) + "\n");
        return "";
    }
    std::string name;
    if (!choose(kernel, &name)) {
        context.client.kernelStop(&kernel);
        return "";
    }
    Log(context, "Call ORBOM_Repository_Connect()");
    ORBOM_CONNECTION connection = 0;
    const ORBOM_RC rc = context.client.connect(kernel, name.c_str(), &connection);
    if (rc == 0 && connection != 0) context.client.disconnect(&connection);
    context.client.kernelStop(&kernel);
    if (rc == 0) return name;
    if (rc != ORBOM_RC_CANCEL) {
        Log(context, "ORBOM_Repository_Connect Repository Fails! rc = " + std::to_string(rc) +
                         "\n");
        if (context.message) context.message(Formatted(context, 13, static_cast<int>(rc)));
    }
    return "";
}

}  // namespace

std::string ProbeRepository(const ProbeContext& context, const PublisherCommandLine& command) {
    return Probe(context, [&](ORBOM_KERNEL kernel, std::string* name) {
        return ChooseName(context, command, kernel, name);
    });
}

std::string ProbeRepositoryNamed(const ProbeContext& context, const std::string& name) {
    return Probe(context, [&](ORBOM_KERNEL, std::string* chosen) {
        *chosen = name;
        return true;
    });
}
