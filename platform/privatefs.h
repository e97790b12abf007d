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

// Secrets (passphrases) are taken only from files nobody but this account
// can read or change. Reads path whole when it is a regular file of at most
// maxBytes, owned by this process's effective user, with no group or other
// permission bits. false otherwise, with *why saying which of those failed
// ("cannot be opened: ...", "is not a regular file", "is not owned by this
// account", "can be read or written by group or others", "is larger than N
// bytes"); *text is then empty.
bool ReadOwnerOnlyFile(const std::string& path, size_t maxBytes, std::string* text,
                       std::string* why);
// The same checks without reading; a missing file passes (nothing to leak).
bool OwnerOnlyOrMissing(const std::string& path, std::string* why);

// Databases (the registry's hive, a repository) are built whole under a name
// of their own beside their place and then linked into it, so that a build
// that fails half way (a full disk) never leaves a file at the place that
// readers would take for a database. The name to build under, private to
// this process and call:
std::string BuildingName(const std::string& path);
// Links the file built under `building` into place as path unless a file is
// there already, then removes `building` with the database's "-wal" and
// "-shm" files beside it. 0, EEXIST (another builder won) or the errno of
// the failure.
int PlaceBuiltFile(const std::string& building, const std::string& path);
// Removes a build that failed, with its "-wal" and "-shm" files.
void RemoveBuilding(const std::string& building);

}  // namespace orb
