// The machine's state is private to the account that runs the system,
// whatever the umask of the process that makes it: every directory the
// system creates is 0700 and every file it creates 0600. This is the one
// place those modes are decided; code that creates a directory or a file
// in the machine root (or a log anywhere) goes through here.
#pragma once

#include <sys/types.h>

#include <string>

namespace orb {

inline constexpr mode_t kPrivateDirectoryMode = 0700;
inline constexpr mode_t kPrivateFileMode = 0600;

// Creates path and every missing parent, each new one with
// kPrivateDirectoryMode; directories that exist keep their mode. false (errno
// set) when a directory could not be made.
bool MakePrivateDirectories(const std::string& path);

// open(2) of path with flags; when the file is missing it is created (O_CREAT
// is implied) with kPrivateFileMode. An existing file keeps its mode. -1
// (errno set) on failure.
int OpenPrivateFile(const std::string& path, int flags);

// Creates path as an empty private file when it is missing, for libraries
// that open files by name and would otherwise create them by the umask.
// true when path exists afterwards (*created tells whether this call made it).
bool CreatePrivateFile(const std::string& path, bool* created = nullptr);

}  // namespace orb
