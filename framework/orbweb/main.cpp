// orbweb: the framework's console on the web, over one repository. Shows the
// map (machines by class with their containers and backup servers), the
// business process views and every object's page with its menu, each also
// as JSON under /api/; follows the repository as it changes. Listens on
// loopback unless told otherwise; runs the menu's actions only with
// --allow-actions.
#include <CLI/CLI.hpp>
#include <iostream>

#include "framework/orbweb/console.h"
#include "platform/dynload.h"
#include "platform/environment.h"
#include "platform/privatefs.h"
#include "platform/registry.h"
#include "platform/sync.h"
#include "platform/wakeup.h"

namespace {

constexpr unsigned kStopCheckMs = 100;
constexpr size_t kPassphraseFileMax = 4096;

struct Options {
    std::string repository;
    std::string listen = "127.0.0.1:8080";
    orbweb::ConsoleOptions console;
    orbweb::SnmpSettings snmp;
    std::string passphraseFile;
};

bool SplitListen(const std::string& text, std::string* host, int* port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    *host = text.substr(0, colon);
    if (host->size() > 2 && host->front() == '[' && host->back() == ']')
        *host = host->substr(1, host->size() - 2);
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *port = std::stoi(digits);
    return *port <= 65535;
}

// Line 1 the authentication, line 2 the privacy passphrase, from a file
// only its owner may read, as snmphost takes its users' passphrases.
bool ReadPassphrases(const std::string& path, orbweb::SnmpSettings* snmp) {
    std::string text, why;
    if (!orb::ReadOwnerOnlyFile(path, kPassphraseFileMax, &text, &why)) {
        std::cerr << "orbweb: cannot use the passphrase file \"" << path << "\": " << why << "\n";
        return false;
    }
    const size_t end1 = text.find('\n');
    snmp->authPassphrase = text.substr(0, end1);
    const size_t from = end1 == std::string::npos ? text.size() : end1 + 1;
    snmp->privPassphrase = text.substr(from, text.find('\n', from) - from);
    for (std::string* line : {&snmp->authPassphrase, &snmp->privPassphrase})
        if (!line->empty() && line->back() == '\r') line->pop_back();
    if (snmp->authPassphrase.size() < 8 || snmp->privPassphrase.size() < 8) {
        std::cerr << "orbweb: the passphrase file needs two passphrases of 8 characters or more\n";
        return false;
    }
    return true;
}

int Run(int argc, char** argv) {
    Options o;
    o.console.launcher = orb::ProgramDirectory() + "/ksuxgo";
    CLI::App app{"orbweb: the framework's console on the web"};
    app.add_option("-r,--repository", o.repository,
                   "repository to show (default: the machine's default repository)");
    app.add_option("--listen", o.listen, "address and port to listen on (port 0: any free one)")
        ->capture_default_str();
    app.add_flag("--allow-actions", o.console.allowActions,
                 "let the object menu's actions run (POST with the page's token)");
    app.add_option("--launcher", o.console.launcher, "the console launcher the menu starts")
        ->capture_default_str();
    app.add_option(
        "--static-dir", o.console.staticDir,
        "serve the style sheet and script from this folder instead of the built-in ones");
    app.add_option("--poll-ms", o.console.pollMs, "how often to look for repository changes")
        ->capture_default_str()
        ->check(CLI::Range(100u, 600000u));
    app.add_option("--snmp-port", o.snmp.port, "the agents' SNMP port")
        ->capture_default_str()
        ->check(CLI::Range(1u, 65535u));
    app.add_option("--snmp-timeout-ms", o.snmp.timeoutMs, "time-out of each SNMP request")
        ->capture_default_str()
        ->check(CLI::Range(10u, 10000u));
    app.add_option("--community", o.snmp.community, "SNMPv2c community")->capture_default_str();
    CLI::Option* user =
        app.add_option("--snmp-user", o.snmp.user, "SNMPv3 user (authPriv, AES) instead of v2c");
    app.add_option("--snmp-auth-protocol", o.snmp.authProtocol, "SNMPv3 authentication")
        ->capture_default_str()
        ->check(CLI::IsMember({"SHA", "SHA-256", "SHA-512"}));
    app.add_option("--snmp-passphrase-file", o.passphraseFile,
                   "owner-only file: line 1 authentication, line 2 privacy passphrase")
        ->needs(user);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    std::string host;
    int port = 0;
    if (!SplitListen(o.listen, &host, &port)) {
        std::cerr << "orbweb: --listen takes ADDRESS:PORT, not \"" << o.listen << "\"\n";
        return 2;
    }
    if (!o.snmp.user.empty() &&
        (o.passphraseFile.empty() || !ReadPassphrases(o.passphraseFile, &o.snmp))) {
        if (o.passphraseFile.empty())
            std::cerr << "orbweb: --snmp-user needs --snmp-passphrase-file\n";
        return 2;
    }
    if (!orb::RegHiveUsable("orbweb")) return 1;
    // The launcher runs without a desktop: its dialog closes by itself.
    SetEnvironmentVariableA("ORB_UI", "batch");

    orbweb::Store store(o.repository);
    store.Open();
    orbweb::AgentReader agents(o.snmp);
    orbweb::Console console(store, agents, o.console);
    console.Poll();
    const int bound = console.Bind(host, port);
    if (bound < 0) {
        std::cerr << "orbweb: cannot listen on " << o.listen << "\n";
        return 1;
    }
    orb::Wakeup wakeup;
    orb::StopOnTerminateSignals(&wakeup);
    std::cout << "orbweb: serving http://"
              << (host.find(':') != std::string::npos ? "[" + host + "]" : host) << ":" << bound
              << "/ (repository " << store.repository() << ")"
              << (o.console.allowActions ? ", actions allowed" : "") << std::endl;
    orb::Thread watcher([&] {
        unsigned waited = 0;
        while (!orb::StopRequested()) {
            orb::SleepMs(kStopCheckMs);
            waited += kStopCheckMs;
            if (waited < o.console.pollMs) continue;
            waited = 0;
            try {
                console.Poll();
            } catch (const std::exception& e) {
                std::cerr << "orbweb: " << e.what() << "\n";
            }
        }
        console.Stop();
    });
    const bool served = console.Serve();
    orb::RequestStop();
    watcher.Join();
    std::cout << "orbweb: stopped" << std::endl;
    return served ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return orbcli::RunTool("orbweb", Run, argc, argv); }
