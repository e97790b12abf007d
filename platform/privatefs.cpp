#include "platform/privatefs.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/textfile.h"
#include "platform/win32.h"

namespace orb {

bool MakePrivateDirectories(const std::string& path) {
    if (path.empty()) return true;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    // The parent first ("a/b/" and "a/b" have the parent "a").
    const size_t end = path.find_last_not_of('/');
    const size_t slash = end == std::string::npos ? std::string::npos : path.rfind('/', end);
    if (slash != std::string::npos && slash > 0 && !MakePrivateDirectories(path.substr(0, slash)))
        return false;
    if (::mkdir(path.c_str(), kPrivateDirectoryMode) != 0) return errno == EEXIST;
    // The umask may have taken bits away; the mode is exactly the private one.
    ::chmod(path.c_str(), kPrivateDirectoryMode);
    return true;
}

int OpenPrivateFile(const std::string& path, int flags) {
    flags |= O_CLOEXEC;
    for (;;) {
        int fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, kPrivateFileMode);
        if (fd >= 0) {
            ::fchmod(fd, kPrivateFileMode);
            return fd;
        }
        if (errno != EEXIST) return -1;
        fd = ::open(path.c_str(), flags & ~(O_CREAT | O_EXCL));
        if (fd >= 0 || errno != ENOENT) return fd;
        // Removed between the two opens: try to create it again.
    }
}

bool CreatePrivateFile(const std::string& path, bool* created) {
    if (created) *created = false;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0) return errno == EEXIST;
    ::fchmod(fd, kPrivateFileMode);
    ::close(fd);
    if (created) *created = true;
    return true;
}

namespace {

// The owner-only checks on an open file; empty when it passes.
std::string OwnerOnlyProblem(const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    if (st.st_uid != ::geteuid()) return "is not owned by this account";
    if ((st.st_mode & 077) != 0) return "can be read or written by group or others";
    return std::string();
}

}  // namespace

bool ReadOwnerOnlyFile(const std::string& path, size_t maxBytes, std::string* text,
                       std::string* why) {
    std::string problem;
    // Checked on the file that is opened: a name swapped after a look at it
    // must not hand over another file.
    const bool read = ReadRegularTextFile(path, maxBytes, text, [&](const struct stat& st) {
        problem = OwnerOnlyProblem(st);
        return problem.empty();
    });
    const int error = errno;
    if (read) {
        why->clear();
    } else if (!problem.empty()) {
        *why = problem;
    } else if (GetLastError() == ERROR_BAD_FILE_TYPE) {
        *why = "is not a regular file";
    } else if (GetLastError() == ERROR_FILE_TOO_LARGE) {
        *why = "is larger than " + std::to_string(maxBytes) + " bytes";
    } else {
        *why = std::string("cannot be opened: ") + std::strerror(error);
    }
    return read;
}

bool OwnerOnlyOrMissing(const std::string& path, std::string* why) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        *why = errno == ENOENT ? std::string()
                               : "cannot be examined: " + std::string(std::strerror(errno));
        return why->empty();
    }
    *why = OwnerOnlyProblem(st);
    return why->empty();
}

std::string BuildingName(const std::string& path) {
    static std::atomic<unsigned> serial{0};
    return path + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
}

void RemoveBuilding(const std::string& building) {
    for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((building + suffix).c_str());
}

int PlaceBuiltFile(const std::string& building, const std::string& path) {
    const int rc = ::link(building.c_str(), path.c_str()) == 0 ? 0 : errno;
    RemoveBuilding(building);
    return rc;
}

}  // namespace orb
