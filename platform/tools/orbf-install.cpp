// orbf-install: plays the installer for the integration on the machine root.
//   orbf-install install   [PROPERTY=VALUE...]   AllowInstall, PreInstall, the
//                                                files, PostInstall
//   orbf-install uninstall [PROPERTY=VALUE...]   AllowUninstall, PreUninstall,
//                                                the files
// It loads "OrbfGUI.DLL", runs its actions in the installer's order on one
// installer session, prints each action's name and result and every line
// the actions log, and writes the log file as well (--log, default
// <root>/log/orbf-install.log). Exit codes:
//   0  done;
//   1  not done: a gate action refused ("ERRORMSG: <text>" on standard
//      error), the registry hive is damaged, a file of the setup media is
//      missing or cannot be copied, or the installed product cannot be
//      recorded or removed from the registry;
//   2  the command line, the log file or the action library is wrong.
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
#include "platform/errortext.h"
#include "platform/filelock.h"
#include "platform/machine.h"
#include "platform/msi.h"
#include "platform/pathsearch.h"
#include "platform/privatefs.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;
typedef UINT (*Action)(MSIHANDLE);

constexpr int kNotDone = 1;
constexpr int kUsage = 2;

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
            *exitCode = kUsage;
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

// The media's files, all of them, before anything is changed: an agent
// registered without its library would point at nothing.
bool FindMedia(Installer& installer, const std::string& sourceDir,
               std::vector<std::string>* sources) {
    for (const char* file : kFiles) {
        std::string source = orb::FindLibrary(WithSlash(sourceDir) + file);
        if (source.empty()) {
            installer.Note(std::string("InstallFiles: ") + file + " is not on the setup media");
            std::fprintf(stderr, "orbf-install: %s is not on the setup media (%s); nothing installed\n",
                         file, sourceDir.c_str());
            return false;
        }
        sources->push_back(source);
    }
    return true;
}

// All or nothing: a copy that fails takes back the ones made before it.
bool CopyFiles(Installer& installer, const std::vector<std::string>& sources,
               const std::string& targetDir) {
    if (targetDir.empty()) {
        installer.Note("InstallFiles: no INSTALLDIR, nothing copied");
        return true;
    }
    std::vector<fs::path> copied;
    for (const std::string& source : sources) {
        fs::path target = fs::path(orb::ToSlashes(targetDir)) / fs::path(source).filename();
        std::error_code error;
        orb::MakePrivateDirectories(target.parent_path().string());
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
        // The copy takes the media's mode; in the machine root it is the owner's alone.
        if (!error) fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, error);
        if (!error) {
            installer.Note("InstallFiles: " + target.string());
            copied.push_back(target);
            continue;
        }
        installer.Note("InstallFiles: " + target.string() + " failed: " + error.message());
        std::fprintf(stderr, "orbf-install: cannot copy %s to %s: %s; nothing installed\n",
                     source.c_str(), target.c_str(), error.message().c_str());
        fs::remove(target, error);
        for (const fs::path& made : copied) fs::remove(made, error);
        return false;
    }
    return true;
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

bool Recorded(LONG code, const char* what) {
    if (code == ERROR_SUCCESS) return true;
    std::fprintf(stderr, "orbf-install: cannot %s the installed product: %s\n", what,
                 orb::RegErrorMessage(code).c_str());
    return false;
}

int Install(Installer& installer, orb::InstallerSession& session) {
    int exitCode = 0;
    if (!installer.Gate("AllowInstall", &exitCode)) return exitCode;
    std::vector<std::string> sources;
    if (!FindMedia(installer, session.Property("SOURCEDIR"), &sources)) return kNotDone;
    UINT result = 0;
    if (!installer.Run("PreInstall", &result)) return kUsage;
    if (!CopyFiles(installer, sources, session.Property("INSTALLDIR"))) return kNotDone;
    if (!installer.Run("PostInstall", &result)) return kUsage;
    const std::string key = orb::InstalledProductKey(kProductCode);
    LONG code = orb::RegisterInstalledProduct(kProductCode, kProductName, kProductVersion);
    if (code == ERROR_SUCCESS)
        code = orb::RegSetString(key, "InstallLocation", session.Property("INSTALLDIR"));
    if (!Recorded(code, "record")) return kNotDone;
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
    if (!installer.Run("PreUninstall", &result)) return kUsage;
    RemoveFiles(installer, session.Property("INSTALLDIR"));
    const LONG code = orb::RemoveInstalledProduct(kProductCode);
    return code == ERROR_FILE_NOT_FOUND || Recorded(code, "remove") ? 0 : kNotDone;
}

// The installer's user-interface levels are numbers (2: none); a word would
// be read as some other level.
bool ValidProperty(const std::string& name, const std::string& value) {
    if (name != "UILevel") return true;
    if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos &&
        value.size() <= 9)
        return true;
    std::fprintf(stderr, "orbf-install: UILevel=%s is not a number (2: no user interface)\n",
                 value.c_str());
    return false;
}

// The log is the record of what the actions did: a log that cannot be
// written stops the run before anything is changed.
bool LogWritable(const std::string& logFile) {
    std::error_code ignored;
    const fs::path parent = fs::path(logFile).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ignored);
    const DWORD code = orb::AppendLocked(logFile, "", 0);
    if (code == ERROR_SUCCESS) return true;
    std::fprintf(stderr, "orbf-install: cannot write the log file %s: %s (error %u)\n",
                 logFile.c_str(), orb::SystemErrorText(code).c_str(), static_cast<unsigned>(code));
    return false;
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
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // CLI11's own codes (100 and up) would read as an action's result.
        std::fprintf(stderr, "orbf-install: %s\n%s", e.what(), app.help().c_str());
        return kUsage;
    }
    for (const std::string& assignment : properties) {
        size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            std::fprintf(stderr, "orbf-install: %s is not PROPERTY=VALUE\n", assignment.c_str());
            return kUsage;
        }
        if (!ValidProperty(assignment.substr(0, equals), assignment.substr(equals + 1)))
            return kUsage;
    }
    // Everything the actions decide on is in the registry: on a damaged hive
    // the product would seem absent, or the removal would remove nothing.
    if (!orb::RegHiveUsable("orbf-install")) return kNotDone;
    if (!LogWritable(logFile)) return kUsage;

    auto session = orb::InstallerSession::Create(logFile);
    if (!session) {
        std::fprintf(stderr, "orbf-install: cannot create the installer session in %s\n",
                     orb::TempDirectory().c_str());
        return kUsage;
    }
    session->SetProperty("SOURCEDIR", orb::ProgramDirectory() + "/");
    session->SetProperty("ProductCode", kProductCode);
    session->SetProperty("PRODNAME", kProductName);
    for (const std::string& assignment : properties) {
        const size_t equals = assignment.find('=');
        session->SetProperty(assignment.substr(0, equals), assignment.substr(equals + 1));
    }
    // Kept loaded to the end (see below); held here so that it stays reachable.
    static HMODULE actions = nullptr;
    actions = LoadLibraryA(library.c_str());
    if (actions == nullptr) {
        std::fprintf(stderr, "orbf-install: cannot load %s\n", library.c_str());
        return kUsage;
    }
    Installer installer(actions, *session);
    const bool install = app.get_subcommands().front()->get_name() == "install";
    int code = install ? Install(installer, *session) : Uninstall(installer, *session);
    std::fflush(stdout);
    // The actions' library stays loaded: a program it started may still be
    // reaped by one of its threads.
    return code;
}
