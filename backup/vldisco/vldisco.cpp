// vldisco: keeps the discovery table by hand, as scripts and acceptance
// checks announce and withdraw backup servers.
//   vldisco add NAME --domain DOMAIN --owner ID --ip A.B.C.D --release N [--product ID]...
//   vldisco remove NAME
//   vldisco list
// Exit codes: 0 done; 1 remove found no line of that name; 2 bad command
// line or data (nothing is written); 3 the table cannot be read or written.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "backup/discotable/discotable.h"

namespace {

constexpr int kDone = 0;
constexpr int kNotFound = 1;
constexpr int kBadInput = 2;
constexpr int kFileError = 3;

struct AddArgs {
    std::string name, domain, ip;
    uint32_t owner = 0;
    unsigned release = 0;
    std::vector<uint32_t> products;
};

int Fail(int code, const std::string& message) {
    std::cerr << "vldisco: " << message << "\n";
    return code;
}

int FileFailure(const std::string& what, const std::string& path, uint32_t error) {
    return Fail(kFileError,
                "cannot " + what + " " + path + " (error " + std::to_string(error) + ")");
}

int Add(const AddArgs& args) {
    disco::Server server;
    server.name = args.name;
    server.domain = args.domain;
    server.owner = args.owner;
    server.release = static_cast<uint8_t>(args.release);
    server.products = args.products;
    if (!disco::ParseAddress(args.ip, &server.address)) {
        return Fail(kBadInput, "--ip \"" + args.ip + "\" is not an IPv4 address A.B.C.D");
    }
    std::string why = disco::CheckServer(server);
    if (!why.empty()) return Fail(kBadInput, why);
    std::string path = disco::TablePath();
    uint32_t error = 0;
    if (!disco::AppendServer(path, server, &error)) return FileFailure("write", path, error);
    return kDone;
}

int Remove(const std::string& name) {
    std::string path = disco::TablePath();
    size_t removed = 0;
    uint32_t error = 0;
    if (!disco::RemoveServer(path, name, &removed, &error))
        return FileFailure("write", path, error);
    if (removed == 0) return Fail(kNotFound, "no server " + name + " in " + path);
    std::cout << "removed " << removed << " line" << (removed == 1 ? "" : "s") << " of " << name
              << "\n";
    return kDone;
}

void PrintRow(const std::string& name, const std::string& domain, const std::string& owner,
              const std::string& address, const std::string& release, const std::string& products) {
    std::printf("%-16s %-16s %-10s %-16s %-7s %s\n", name.c_str(), domain.c_str(), owner.c_str(),
                address.c_str(), release.c_str(), products.c_str());
}

int List() {
    std::string path = disco::TablePath();
    disco::Table table;
    uint32_t error = 0;
    if (!disco::LoadTable(path, &table, &error) && error != 2 /* no table yet: empty */) {
        return FileFailure("read", path, error);
    }
    for (const disco::Problem& problem : table.problems) {
        std::cerr << "vldisco: " << disco::ProblemText(path, problem) << "\n";
    }
    PrintRow("NAME", "DOMAIN", "OWNER", "ADDRESS", "RELEASE", "PRODUCTS");
    for (const disco::Server& s : table.servers) {
        std::string products;
        for (uint32_t id : s.products)
            products += (products.empty() ? "" : ",") + std::to_string(id);
        PrintRow(s.name, s.domain, std::to_string(s.owner), disco::AddressText(s.address),
                 std::to_string(s.release), products.empty() ? "-" : products);
    }
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Keeps the backup product's discovery table, <machine root>/vaultline/discovery.tbl",
        "vldisco"};
    app.require_subcommand(1);

    AddArgs add;
    CLI::App* addCmd = app.add_subcommand("add", "append one announcement of a backup server");
    addCmd->add_option("NAME", add.name, "server name (at most 15 characters)")->required();
    addCmd->add_option("--domain", add.domain, "domain name (at most 15 characters)")->required();
    addCmd->add_option("--owner", add.owner, "broadcast owner identifier")->required();
    addCmd->add_option("--ip", add.ip, "IPv4 address A.B.C.D")->required();
    addCmd->add_option("--release", add.release, "product release, 0 to 255")
        ->required()
        ->check(CLI::Range(0u, 255u));
    addCmd->add_option("--product", add.products, "a product id the server runs (repeatable)");

    std::string removeName;
    CLI::App* removeCmd = app.add_subcommand("remove", "remove every line of a server name");
    removeCmd->add_option("NAME", removeName, "server name (letter case ignored)")->required();

    CLI::App* listCmd = app.add_subcommand("list", "print the table");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kDone : kBadInput;
    }
    try {
        if (*addCmd) return Add(add);
        if (*removeCmd) return Remove(removeName);
        if (*listCmd) return List();
    } catch (const std::exception& e) {
        return Fail(kFileError, e.what());
    }
    return kBadInput;
}
