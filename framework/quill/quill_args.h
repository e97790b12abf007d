// quill's command line: Windows-style switches, any letter case, and one
// class-definition file.
//
//   /q        quiet: ask no questions and print nothing but errors
//   /g        create the target repository first when it does not exist; a
//             machine without any gets its default one (named by the
//             framework's "RepositoryName" or "DefaultRepository" setting,
//             else the computer name)
//   /x        exit as soon as the import ends; without it quill waits for
//             Enter when it runs in a terminal, so that a window opened for
//             it stays readable
//   /r:NAME   import into repository NAME instead of the default one
//   /?        show the switches
//
// A switch is "/" and one letter (or "/r:NAME"), so an absolute file path
// such as "/opt/orb/bin/Lumora.orb" is never taken for one. "-q" style is
// accepted too.
#pragma once

#include <string>
#include <vector>

namespace quill {

struct Args {
    bool quiet = false;
    bool create = false;
    bool noWait = false;
    bool help = false;
    std::string repository;  // empty: the machine's default repository
    std::string file;
};

// False with a message for an unknown switch, a missing file or more than
// one file.
bool ParseArgs(const std::vector<std::string>& argv, Args* out, std::string* error);

// The switches, as /? shows them.
const char* Usage();

}  // namespace quill
