// The name the framework gives a machine's default repository when it
// creates one: its "RepositoryName" setting, else "DefaultRepository", else
// the computer name, with "_ORBDB" added on framework installs of type 025
// (the form the publisher's repository test looks for).
#pragma once

#include <string>

namespace quill {

std::string DefaultRepositoryName();

}  // namespace quill
