#include "framework/quill/quill_args.h"

#include <cctype>

namespace quill {
namespace {

bool IsSwitchPrefix(char c) { return c == '/' || c == '-'; }

char Letter(const std::string& arg) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1])));
}

// "/r:NAME" or "/r=NAME".
bool RepositorySwitch(const std::string& arg, std::string* name) {
    if (arg.size() < 3 || !IsSwitchPrefix(arg[0]) || Letter(arg) != 'r') return false;
    if (arg[2] != ':' && arg[2] != '=') return false;
    *name = arg.substr(3);
    return true;
}

bool ApplySwitch(char letter, Args* out) {
    switch (letter) {
        case 'q':
            out->quiet = true;
            return true;
        case 'g':
            out->create = true;
            return true;
        case 'x':
            out->noWait = true;
            return true;
        case '?':
        case 'h':
            out->help = true;
            return true;
        default:
            return false;
    }
}

}  // namespace

bool ParseArgs(const std::vector<std::string>& argv, Args* out, std::string* error) {
    *out = Args();
    for (const std::string& arg : argv) {
        if (RepositorySwitch(arg, &out->repository)) {
            if (!out->repository.empty()) continue;
            *error = arg + " needs a repository name";
            return false;
        }
        if (arg.size() == 2 && IsSwitchPrefix(arg[0])) {
            if (ApplySwitch(Letter(arg), out)) continue;
            *error = "unknown switch " + arg;
            return false;
        }
        if (!out->file.empty()) {
            *error = "only one file can be imported at a time";
            return false;
        }
        out->file = arg;
    }
    if (out->file.empty() && !out->help) {
        *error = "no class-definition file given";
        return false;
    }
    return true;
}

const char* Usage() {
    return "usage: quill [/q] [/g] [/x] [/r:NAME] FILE\n"
           "  Imports the class definitions in FILE into the machine's default repository.\n"
           "  /q       quiet: ask no questions, print only errors\n"
           "  /g       create the repository first when it does not exist\n"
           "  /x       exit when done (otherwise wait for Enter in a terminal)\n"
           "  /r:NAME  import into repository NAME\n";
}

}  // namespace quill
