// quill: the framework's class-definition import tool. Imports one
// class-definition file into the machine's default repository (or the one
// /r: names); the whole file or nothing. See quill_args.h for the switches.
#include <iostream>
#include <string>
#include <vector>

#include "framework/orbcli/import_file.h"
#include "framework/orbcli/session.h"
#include "framework/quill/default_name.h"
#include "framework/quill/quill_args.h"

namespace {

using orbcli::ToolError;

// The repository the import goes to, created first under /g when the
// machine has none.
std::string ChooseRepository(orbcli::Session& session, const quill::Args& args) {
    if (!args.repository.empty()) return args.repository;
    const std::vector<std::string> all = session.Repositories();
    if (!all.empty()) return all.front();
    if (!args.create)
        throw ToolError(ORBOM_RC_NO_MATCH, "this machine has no repository (/g creates one)");
    const std::string name = quill::DefaultRepositoryName();
    session.CreateRepository(name);
    return name;
}

bool Confirm(const quill::Args& args, const std::string& repository) {
    if (args.quiet) return true;
    std::cout << "Import the class definitions in \"" << args.file << "\" into repository \""
              << repository << "\"? [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void WaitForEnter(const quill::Args& args) {
    if (args.quiet || args.noWait) return;
    std::cout << "Press Enter to close." << std::endl;
    std::string line;
    std::getline(std::cin, line);
}

int Import(const quill::Args& args) {
    orbcli::Session session("quill");
    const std::string repository = ChooseRepository(session, args);
    if (!Confirm(args, repository)) throw ToolError(ORBOM_RC_CANCEL, "nothing imported");
    session.Connect(repository);
    orbcli::ImportFile(session, args.file);
    if (!args.quiet)
        std::cout << "Imported \"" << args.file << "\" into repository \"" << repository << "\".\n";
    return 0;
}

int Run(const quill::Args& args) {
    try {
        return Import(args);
    } catch (const ToolError& e) {
        std::cerr << "quill: " << orbcli::CodeName(e.rc()) << " (" << e.rc() << "): " << e.what()
                  << std::endl;
        return e.rc() == ORBOM_RC_CANCEL ? 2 : 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    quill::Args args;
    std::string error;
    if (!quill::ParseArgs(std::vector<std::string>(argv + 1, argv + argc), &args, &error)) {
        std::cerr << "quill: " << error << "\n" << quill::Usage();
        return 1;
    }
    if (args.help) {
        std::cout << quill::Usage();
        return 0;
    }
    int rc = 1;
    try {
        rc = Run(args);
    } catch (const std::exception& e) {
        std::cerr << "quill: " << e.what() << std::endl;
    }
    WaitForEnter(args);
    return rc;
}
