// ksuxgo's start-up: the command line, the INI file beside the program, the
// server check and the host action (the host's web page, or a telnet
// session). The host update job ("-d ") is HostUpdate.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win32.h"

namespace launcher {

// The host buffer holds 255 characters; configuration values and the
// command to run 259.
inline constexpr size_t kHostBufferSize = 256;
inline constexpr size_t kValueBufferSize = 260;

enum class LaunchMode {
    None,     // no marker: end without a word
    Host,     // "-h ": open the configured tool for the host
    Update,   // "-d ": the host update job
    Server,   // "/S:": check the server, then as "-h "
    TooLong,  // an argument the host buffer cannot hold: refused
    NoHost,   // a marker with nothing but blanks after it ("-h " and no name): refused
};

struct LaunchRequest {
    LaunchMode mode = LaunchMode::None;
    std::string host;
};

// Looks for "-h ", then "-d ", then "/S:" anywhere in the line (case
// matters); the first found decides. The argument is the rest of the line,
// unchanged, except that "/S:" skips leading blanks.
LaunchRequest ParseLaunchCommandLine(const std::string& line);

// A host telnet can be given as its one argument after "--": a name that
// starts with "-" would still read as options to a telnet that ignores
// "--", and one with blanks was always meant as several words (the telnet
// of the web action's fall-back included).
bool TelnetTakesHost(const std::string& host);
// telnet's parameter string for such a host: "--" and the host.
std::string TelnetParameters(const std::string& host);

// The program's path with the extension after its last '.' replaced by
// "INI"; a file name without an extension (a '.' in a folder name does not
// count) gets ".INI" appended.
std::string IniPathFor(const std::string& programPath);

// Replaces every placeholder in text (a buffer of `capacity` bytes) by value,
// left to right. An occurrence whose end plus the value would reach the
// last byte, or whose replacement would not fit, stays as it is, and so do
// all later ones. Returns the number replaced.
int SubstitutePlaceholder(std::string* text, const std::string& placeholder,
                          const std::string& value, size_t capacity = kValueBufferSize);

// True when the backup product knows the server and its "ServerInfo" value
// starts with 'U'.
bool ServerIsEligible(const std::string& server);

// What the host action needs from outside; tests replace the shell.
struct LauncherContext {
    std::string iniPath;
    // ShellExecuteA with no verb, no directory, the desktop as owner.
    std::function<intptr_t(const char* file, const char* parameters, int show)> shell;
    // A warning box showing text `id` of the resource library.
    std::function<void(UINT id)> warn;
    // A line on standard error, for whoever started the launcher from a
    // script: why nothing was started.
    std::function<void(const std::string& line)> tell;
};

// What the host action opens for a host, as the INI file at iniPath gives
// it: the web action's command (the default command when none is set, the
// placeholder replaced), or the telnet action, which takes no command.
// Consoles that show the address instead of opening it ask this too.
struct HostTool {
    bool web = false;
    std::string command;  // empty for telnet
};
HostTool HostToolFor(const std::string& iniPath, const std::string& host);

// The shell of the platform (ShellExecuteA).
intptr_t PlatformShell(const char* file, const char* parameters, int show);

// The action the INI file gives the host: the web page (falling back to
// telnet without a word) or telnet. false, after warning with text 23, when
// no tool could be started; a host telnet cannot take is told why and not
// handed to it.
bool RunHostAction(const LauncherContext& context, const std::string& host);
// The "/S:" action: text 22 and false when the server is not eligible,
// else the host action for it.
bool RunServerAction(const LauncherContext& context, const std::string& server);

}  // namespace launcher
