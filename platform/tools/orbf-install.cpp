// orbf-install: plays the installer for the integration on the machine root.
//   orbf-install install   [PROPERTY=VALUE...]   AllowInstall, PreInstall, the
//                                                files, PostInstall
//   orbf-install uninstall [PROPERTY=VALUE...]   AllowUninstall, PreUninstall,
//                                                the files
// It loads "OrbfGUI.DLL", runs its actions in the installer's order on one
// installer session, prints each action's name and result and every line
// the actions log, and writes the log file as well (--log, default
// <root>/log/orbf-install.log). A gate action that refuses ends the run:
// "ERRORMSG: <text>" on standard error and exit code 1. Exit code 2: the
// command line or the action library is wrong.
//
// The files step copies the integration's agent libraries from the setup
// directory ("SOURCEDIR", default this program's directory) into the
// backup product's home ("INSTALLDIR" as AllowInstall set it); the removal
// deletes them again. The installed product is recorded in the machine's
// product list with its install directory, which the removal reads back.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dynload.h"
#include "platform/machine.h"
#include "platform/msi.h"
#include "platform/pathsearch.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;
typedef UINT (*Action)(MSIHANDLE);

const char* const kProductCode = "{4C7E2A91-5B3D-4F08-9E61-2D8A0B7C35F4}";
const char* const kProductName = "Sentinex Orb Integration for Lumora Vaultline Backup";
const char* const kProductVersion = "1.0";
// The integration's files in the product's home.
const char* const kFiles[] = {"lmEBAgent.dll", "lmAgentRes.dll"};

class Installer {
  public:
    Installer(HMODULE library, orb::InstallerSession& session)
        : library_(library), session_(session) {}

    // Runs one action; false when the library lacks it.
    bool Run(const char* name, UINT* result) {
        auto action = reinterpret_cast<Action>(GetProcAddress(library_, name));
        if (action == nullptr) {
            std::fprintf(stderr, "orbf-install: the action library has no %s\n", name);
            return false;
        }
        std::printf("%s\n", name);
        std::fflush(stdout);
        *result = action(session_.Handle());
        PrintNewLines();
        std::printf("%s returned %u\n", name, *result);
        std::fflush(stdout);
        return true;
    }

    // A gate action: anything but 0 refuses.
    bool Gate(const char* name, int* exitCode) {
        UINT result = 0;
        if (!Run(name, &result)) {
            *exitCode = 2;
            return false;
        }
        if (result == 0) return true;
        std::fprintf(stderr, "ERRORMSG: %s\n", session_.Property("ERRORMSG").c_str());
        *exitCode = 1;
        return false;
    }

    void Note(const std::string& line) { std::printf("%s\n", line.c_str()); }

  private:
    void PrintNewLines() {
        std::string log = session_.LogText();
        if (log.size() > printed_) std::fwrite(log.data() + printed_, 1, log.size() - printed_, stdout);
        printed_ = log.size();
    }

    HMODULE library_;
    orb::InstallerSession& session_;
    size_t printed_ = 0;
};

std::string WithSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    return dir;
}

void CopyFiles(Installer& installer, const std::string& sourceDir, const std::string& targetDir) {
    if (targetDir.empty()) {
        installer.Note("InstallFiles: no INSTALLDIR, nothing copied");
        return;
    }
    for (const char* file : kFiles) {
        std::string source = orb::FindLibrary(WithSlash(sourceDir) + file);
        if (source.empty()) {
            installer.Note(std::string("InstallFiles: ") + file + " is not on the setup media");
            continue;
        }
        fs::path target = fs::path(orb::ToSlashes(targetDir)) / fs::path(source).filename();
        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
        installer.Note("InstallFiles: " + target.string() + (error ? " failed: " + error.message() : ""));
    }
}

void RemoveFiles(Installer& installer, const std::string& targetDir) {
    if (targetDir.empty()) return;
    for (const char* file : kFiles) {
        std::string found = orb::FindLibrary(WithSlash(orb::ToSlashes(targetDir)) + file);
        if (found.empty()) continue;
        std::error_code error;
        fs::remove(found, error);
        installer.Note("RemoveFiles: " + found + (error ? " failed: " + error.message() : ""));
    }
}

int Install(Installer& installer, orb::InstallerSession& session) {
    int exitCode = 0;
    if (!installer.Gate("AllowInstall", &exitCode)) return exitCode;
    UINT result = 0;
    if (!installer.Run("PreInstall", &result)) return 2;
    CopyFiles(installer, session.Property("SOURCEDIR"), session.Property("INSTALLDIR"));
    if (!installer.Run("PostInstall", &result)) return 2;
    const std::string key = orb::InstalledProductKey(kProductCode);
    orb::RegisterInstalledProduct(kProductCode, kProductName, kProductVersion);
    orb::RegSetString(key, "InstallLocation", session.Property("INSTALLDIR"));
    if (session.Mode(MSIRUNMODE_REBOOTATEND) || session.Mode(MSIRUNMODE_REBOOTNOW))
        installer.Note("A restart of the machine is requested.");
    return 0;
}

int Uninstall(Installer& installer, orb::InstallerSession& session) {
    int exitCode = 0;
    const std::string key = orb::InstalledProductKey(kProductCode);
    if (session.Property("INSTALLDIR").empty()) {
        std::string location;
        if (orb::RegGetString(key, "InstallLocation", &location) == ERROR_SUCCESS)
            session.SetProperty("INSTALLDIR", location);
    }
    if (!installer.Gate("AllowUninstall", &exitCode)) return exitCode;
    UINT result = 0;
    if (!installer.Run("PreUninstall", &result)) return 2;
    RemoveFiles(installer, session.Property("INSTALLDIR"));
    orb::RemoveInstalledProduct(kProductCode);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"orbf-install: installs or removes the Sentinex Orb integration"};
    app.require_subcommand(1);
    std::vector<std::string> properties;
    std::string logFile = orb::MachinePath("log/orbf-install.log");
    std::string library = "OrbfGUI.DLL";
    app.add_option("--log", logFile, "the installation log file")->capture_default_str();
    app.add_option("--library", library, "the action library")->capture_default_str();
    for (const char* verb : {"install", "uninstall"})
        app.add_subcommand(verb, std::string(verb) + " the integration")
            ->add_option("PROPERTY=VALUE", properties, "installer properties");
    CLI11_PARSE(app, argc, argv);

    auto session = orb::InstallerSession::Create(logFile);
    if (!session) {
        std::fprintf(stderr, "orbf-install: cannot create the installer session in %s\n",
                     orb::TempDirectory().c_str());
        return 2;
    }
    session->SetProperty("SOURCEDIR", orb::ProgramDirectory() + "/");
    session->SetProperty("ProductCode", kProductCode);
    session->SetProperty("PRODNAME", kProductName);
    for (const std::string& assignment : properties) {
        size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            std::fprintf(stderr, "orbf-install: %s is not PROPERTY=VALUE\n", assignment.c_str());
            return 2;
        }
        session->SetProperty(assignment.substr(0, equals), assignment.substr(equals + 1));
    }
    // Kept loaded to the end (see below); held here so that it stays reachable.
    static HMODULE actions = nullptr;
    actions = LoadLibraryA(library.c_str());
    if (actions == nullptr) {
        std::fprintf(stderr, "orbf-install: cannot load %s\n", library.c_str());
        return 2;
    }
    Installer installer(actions, *session);
    const bool install = app.get_subcommands().front()->get_name() == "install";
    int code = install ? Install(installer, *session) : Uninstall(installer, *session);
    std::fflush(stdout);
    // The actions' library stays loaded: a program it started may still be
    // reaped by one of its threads.
    return code;
}
