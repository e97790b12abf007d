// OrbConfig: runs the class import launcher ksorbcls from the management
// framework's program directory, on machines where the framework's
// repository component (Orbmap) is installed, and waits for it. It opens no
// window of its own: a failed start, and a launched program that ends with
// a code other than 0, are told in a message box captioned "OrbConfig".
#pragma once

#include <string>

#include "platform/win32.h"

// Registry keys below HKEY_LOCAL_MACHINE.
// Present when the framework's repository component is installed.
inline constexpr const char* kOrbmapPresenceKey =
    "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap";
// "InstallPath": the framework's install directory.
inline constexpr const char* kFrameworkKey =
    "SOFTWARE\\NorwindSystems\\NW-Sentinex\\CurrentVersion\\";
// "InstallPath": the directory of the framework's agent services.
inline constexpr const char* kAgentServicesKey =
    "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Agent Technologies\\Agent Common Services\\";

// Where LaunchProgram looks for the program.
enum OrbDirectoryKind {
    kAgentServicesDirectory = 0,  // the agent services directory
    kFrameworkToolsDirectory = 1,  // <install directory>/Services/Tools
    kFrameworkBinDirectory = 2,    // <install directory>/bin
};

// format applied to the install directory: each "%s" is the directory, "%%"
// a percent sign; every other character stays as it is.
std::string FormatWithDirectory(const std::string& format, const std::string& directory);

// OrbConfig's exit codes.
inline constexpr int kExitDone = 0;           // ran, or nothing to do on this machine
inline constexpr int kExitNotDone = 1;        // the program could not be started (a box or
                                              // a line on standard error says why)
inline constexpr int kExitProgramFailed = 2;  // it ran and ended with a code other than 0

class COrbConfigApp {
  public:
    // Always FALSE: the program ends when it returns.
    BOOL InitInstance();
    // What the program ends with, after InitInstance.
    int ExitCode() const { return exitCode_; }

    // Starts program from the directory of that kind, with the arguments
    // format gives (null: none), and waits for it to end. Returns its exit
    // code; 0 when a framework key is missing, when the directory is not
    // known, or when it could not be started (a message box says so, also
    // when its directory's "InstallPath" is a number or too long to read).
    DWORD LaunchProgram(LPCSTR format, LPCSTR program, int kind);

  private:
    int exitCode_ = kExitDone;
};
