// The machine: one directory (the machine root) holds all state of one
// machine -- its registry hive, its repositories, the backup product's home,
// the framework's install path, the temporary directory and logs.
//
//   ORB_MACHINE_ROOT  names the root; default kDefaultMachineRoot.
//   ORB_COMPUTERNAME  names the computer; default the host's name.
//
// Another machine's root is the sibling directory named after that
// computer (dirname(root)/NAME); it exists only when that machine was set up.
#pragma once

#include <string>

#include "platform/win32.h"

namespace orb {

inline constexpr const char* kDefaultMachineRoot = "/var/lib/vaultline-orb";

// The machine root, read from the environment on every call (tests set it).
std::string MachineRoot();
// Root of another computer; empty when that computer's root does not exist.
// The local computer's own name (any letter case) gives MachineRoot().
std::string MachineRootOf(const std::string& computerName);
// ORB_COMPUTERNAME, else the host name, in upper case as Windows reports it.
std::string ComputerName();
// <root>/tmp, created when missing; always ends without a slash.
std::string TempDirectory();
// <root>/<relative>, with the parent directories created.
std::string MachinePath(const std::string& relative);
// A file name as the system's code writes it: "C:\\ORBF.LOG" (a drive) is
// <root>/drive_c/ORBF.LOG, with the parent directories created; any other
// name only gets "/" for "\\".
std::string MachineFilePath(const std::string& windowsPath);

}  // namespace orb

#ifndef ERROR_BUFFER_OVERFLOW
#define ERROR_BUFFER_OVERFLOW 111L
#endif

// Win32 shapes over the above. Buffer rules as on Windows.
// *size in: buffer characters; out: characters written without the
// terminator, or (FALSE, ERROR_BUFFER_OVERFLOW) the size needed with it.
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);
// Returns the length written without the terminator (path ends with '/'),
// or the size needed including the terminator when the buffer is too small.
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);
