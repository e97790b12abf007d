#include "platform/privatefs.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

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
    text->clear();
    // Non-blocking: a FIFO put in its place must not hang the reader.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *why = std::string("cannot be opened: ") + std::strerror(errno);
        return false;
    }
    struct stat st {};
    *why = ::fstat(fd, &st) != 0 ? std::string("cannot be examined: ") + std::strerror(errno)
                                 : OwnerOnlyProblem(st);
    if (why->empty() && static_cast<unsigned long long>(st.st_size) > maxBytes)
        *why = "is larger than " + std::to_string(maxBytes) + " bytes";
    if (why->empty()) {
        text->resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < text->size()) {
            const ssize_t n = ::read(fd, text->data() + done, text->size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        text->resize(done);
    }
    ::close(fd);
    if (!why->empty()) text->clear();
    return why->empty();
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
