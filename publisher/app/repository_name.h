// Which repository the publisher works on, and how its command line is read.
#pragma once

#include <functional>
#include <string>

#include "framework/nwomapi/nwomapi.h"
#include "platform/win32.h"

// A line for the publisher log; the program installs the real log.
using PublisherLogFn = std::function<void(const std::string&)>;

// The "/r" and "/d" switches. The whole line is lower-cased first, so a
// repository name given in capitals arrives in lower case.
struct PublisherCommandLine {
    bool repositoryGiven = false;
    std::string repository;  // at most 127 characters; empty: the default one
    bool debug = false;
};
PublisherCommandLine ParsePublisherCommandLine(const std::string& line);

// True when the framework's "InstallType" mentions "025".
bool IsFramework025Installed(const PublisherLogFn& log);
// "RepositoryName", else "DefaultRepository", else the computer name (with
// "_ORBDB" on a 025 framework); empty when none can be read.
std::string GetRepositoryName(const PublisherLogFn& log);
// The computer name, at most maxLength characters, with "_ORBDB" on a 025
// framework; empty when the computer has no name.
std::string ComputerRepositoryName(size_t maxLength, const PublisherLogFn& log);

// The repository client calls the repository test makes; tests replace them.
struct RepositoryClient {
    ORBOM_RC (*kernelStart)(const char*, ORBOM_KERNEL*, uint32_t);
    ORBOM_RC (*kernelStop)(ORBOM_KERNEL*);
    ORBOM_RC (*connect)(ORBOM_KERNEL, const char*, ORBOM_CONNECTION*);
    ORBOM_RC (*disconnect)(ORBOM_CONNECTION*);
    ORBOM_RC (*enumBegin)(ORBOM_KERNEL, uint32_t);
    ORBOM_RC (*enumNext)(ORBOM_KERNEL, char*, uint32_t);
};

// How the repository test tells the operator (a message box) and logs.
struct ProbeContext {
    RepositoryClient client{};
    PublisherLogFn log;
    std::function<void(const std::string&)> message;  // plain OK box
    std::function<std::string(UINT)> text;             // resource text by number
};

// Tests the repository the command line or the machine names; leaves
// nothing open. The name tested, or empty when the test failed.
std::string ProbeRepository(const ProbeContext& context, const PublisherCommandLine& command);
// The same test on a name already chosen (the console launcher's variant).
std::string ProbeRepositoryNamed(const ProbeContext& context, const std::string& name);
