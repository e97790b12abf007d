// orbcli: the operators' console for the framework's object repository.
// Every form is one subcommand; "-r NAME" picks the repository, otherwise
// the machine's default one is used. A failure prints the repository code's
// name and exits with 1; a command line it cannot parse exits as CLI11 says.
#include <CLI/CLI.hpp>
#include <iostream>

#include "framework/orbcli/commands.h"
#include "framework/orbcli/session.h"
#include "platform/registry.h"

namespace {

// Exit status of "check" when it found damage; 1 stays a failed command.
constexpr int kDamageFound = 2;

struct Options {
    orbcli::Target target;
    orbcli::Placement placement;
    std::string name;
    std::string cls;
    std::string file;
    std::vector<std::string> args;
    bool json = false;
    int repeat = 2;
};

CLI::App* AddObjectCommand(CLI::App* object, const char* name, const char* help, Options& o,
                           bool needsArgs) {
    CLI::App* command = object->add_subcommand(name, help);
    command->add_option("CLASS", o.cls, "class of the objects")->required();
    CLI::Option* args = command->add_option("PROP=VALUE", o.args, "property values");
    if (needsArgs) args->required();
    return command;
}

int Run(int argc, char** argv) {
    Options o;
    CLI::App app{"orbcli: look at and change the framework's object repository"};
    app.fallthrough();
    app.require_subcommand(1);
    app.add_option("-r,--repository", o.target.repository,
                   "repository to use (default: the machine's default repository)");

    CLI::App* repo = app.add_subcommand("repo", "create and list repositories");
    repo->require_subcommand(1);
    CLI::App* repoCreate = repo->add_subcommand("create", "create a repository");
    repoCreate->add_option("NAME", o.name, "repository name")->required();
    CLI::Option* backend =
        repoCreate
            ->add_option("--backend", o.placement.backend,
                         "sqlite (the machine's file) or postgresql (written to the registry)")
            ->check(CLI::IsMember({"sqlite", "postgresql"}, CLI::ignore_case));
    repoCreate
        ->add_option("--connection", o.placement.connection,
                     "libpq connection string, without password (the password file gives it)")
        ->needs(backend);
    repoCreate->add_option("--schema", o.placement.schema, "PostgreSQL schema (default: public)")
        ->needs(backend);
    CLI::App* repoList = repo->add_subcommand("list", "list repositories, the default first");

    CLI::App* import = app.add_subcommand("import", "import a class-definition file");
    import->add_option("FILE", o.file, "class-definition file")->required();

    CLI::App* cls = app.add_subcommand("class", "list and show classes");
    cls->require_subcommand(1);
    CLI::App* classList = cls->add_subcommand("list", "list the classes");
    CLI::App* classShow = cls->add_subcommand("show", "show a class's properties and types");
    classShow->add_option("CLASS", o.cls, "class name")->required();

    CLI::App* object = app.add_subcommand("object", "add, list and delete objects");
    object->require_subcommand(1);
    CLI::App* add = AddObjectCommand(object, "add", "create an object; prints its uuid", o, false);
    CLI::App* list =
        AddObjectCommand(object, "list", "list objects matching all PROP=VALUE", o, false);
    list->add_flag("--json", o.json, "print one JSON array");
    CLI::App* del =
        AddObjectCommand(object, "delete", "delete matching objects; prints the count", o, true);

    CLI::App* tree = app.add_subcommand("tree", "machines and views with what they contain");
    tree->add_flag("--json", o.json, "print JSON");

    CLI::App* cache = app.add_subcommand(
        "cache", "run an object list's select REPEAT times; print the read cache's counters");
    cache->add_option("CLASS", o.cls, "class of the objects")->required();
    cache->add_option("PROP=VALUE", o.args, "property values");
    cache->add_option("--repeat", o.repeat, "times to select (default 2)")
        ->check(CLI::Range(1, 1000000));

    CLI::App* check = app.add_subcommand(
        "check", "check links, containers and published objects; exit 2 on damage");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    // The repositories' names and placements live in the registry: on a
    // damaged hive a site's repository would seem gone and a new local one
    // would be made in its place.
    if (!orb::RegHiveUsable("orbcli")) return 1;

    std::ostream& out = std::cout;
    if (*repoCreate)
        orbcli::RepoCreate(o.name, o.placement, out);
    else if (*repoList)
        orbcli::RepoList(out);
    else if (*import)
        orbcli::Import(o.target, o.file, out);
    else if (*classList)
        orbcli::ClassList(o.target, out);
    else if (*classShow)
        orbcli::ClassShow(o.target, o.cls, out);
    else if (*add)
        orbcli::ObjectAdd(o.target, o.cls, o.args, out);
    else if (*list)
        orbcli::ObjectList(o.target, o.cls, o.args, o.json, out);
    else if (*del)
        orbcli::ObjectDelete(o.target, o.cls, o.args, out);
    else if (*tree)
        orbcli::ShowTree(o.target, o.json, out);
    else if (*cache)
        orbcli::CacheStats(o.target, o.cls, o.args, o.repeat, out);
    else if (*check && orbcli::CheckCommand(o.target, out) > 0) {
        out.flush();
        return kDamageFound;
    }
    out.flush();
    return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return orbcli::RunTool("orbcli", Run, argc, argv); }
