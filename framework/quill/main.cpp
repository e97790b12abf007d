// quill: the framework's class-definition import tool. Imports one
// class-definition file into the machine's default repository (or the one
// /r: names); the whole file or nothing. See quill_args.h for the switches.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "framework/orbcli/import_file.h"
#include "framework/orbcli/session.h"
#include "framework/quill/default_name.h"
#include "framework/quill/quill_args.h"
#include "platform/registry.h"

namespace {

using orbcli::ToolError;

struct Target {
    std::string name;
    bool create = false;
};

// The repository the import goes to: the one /r: names, else the default
// one; under /g a missing one is to be created.
Target ChooseRepository(orbcli::Session& session, const quill::Args& args) {
    const std::vector<std::string> all = session.Repositories();
    Target target{args.repository};
    if (target.name.empty() && !all.empty()) target.name = all.front();
    if (!target.name.empty() && std::find(all.begin(), all.end(), target.name) != all.end())
        return target;
    if (!args.create) {
        if (!target.name.empty()) return target;  // connecting says what is wrong with it
        throw ToolError(ORBOM_RC_NO_MATCH, "this machine has no repository (/g creates one)");
    }
    if (target.name.empty()) target.name = quill::DefaultRepositoryName();
    target.create = true;
    return target;
}

bool Confirm(const quill::Args& args, const Target& target) {
    if (args.quiet) return true;
    std::cout << "Import the class definitions in \"" << args.file << "\" into "
              << (target.create ? "new repository" : "repository") << " \"" << target.name
              << "\"? [y/N] " << std::flush;
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
    const Target target = ChooseRepository(session, args);
    const std::string& repository = target.name;
    // Read first: a file that cannot be read must not leave a new repository.
    const std::string text = orbcli::ReadClassFile(args.file);
    if (!Confirm(args, target)) throw ToolError(ORBOM_RC_CANCEL, "nothing imported");
    if (target.create) {
        session.CreateRepository(repository);
    } else if (args.create) {
        // A name the registry places in a database server is listed before
        // it is made there.
        try {
            session.Connect(repository);
        } catch (const ToolError& e) {
            if (e.rc() != ORBOM_RC_INVALID_REPOSITORY) throw;
            session.CreateRepository(repository);
        }
    }
    if (session.connection() == 0) session.Connect(repository);
    orbcli::ImportText(session, args.file, text);
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
    // The default repository and the repositories' placements come from the
    // registry; on a damaged hive /g would make a local repository in place
    // of a site's one.
    if (!orb::RegHiveUsable("quill")) {
        WaitForEnter(args);
        return 1;
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
