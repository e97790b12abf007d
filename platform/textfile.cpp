// Locked read-edit-replace of shared text files.
#include "platform/textfile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/pathsearch.h"
#include "platform/privatefs.h"
#include "platform/win32.h"

namespace orb {
namespace {

// Reads to the end, or until more than limit bytes are in.
bool ReadFd(int fd, std::string* text, size_t limit = SIZE_MAX) {
    text->clear();
    char chunk[65536];
    for (;;) {
        if (text->size() > limit) return true;
        const size_t left = limit - text->size();
        const size_t want = left < sizeof chunk ? left + 1 : sizeof chunk;
        ssize_t n = read(fd, chunk, want);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text->append(chunk, static_cast<size_t>(n));
    }
}

bool WriteFd(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

DWORD ErrorOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        default:
            return ERROR_CANTWRITE;
    }
}

// Writers lock the file's directory: the directory stays while the file
// itself is replaced on every write, so a lock on the file would be lost
// with it (and a writer waiting on the old file would starve). -1 on failure.
int LockDirectoryOf(const std::string& path) {
    std::string dir, base;
    SplitPath(path, &dir, &base);
    int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            int error = errno;
            close(fd);
            errno = error;
            return -1;
        }
    }
    return fd;
}

// Writes text to a new file beside path and renames it over path.
bool Replace(const std::string& path, const std::string& text, mode_t mode) {
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = fchmod(fd, mode) == 0 && WriteFd(fd, text) && fsync(fd) == 0;
    int error = errno;
    close(fd);
    if (ok && rename(temp.c_str(), path.c_str()) == 0) return true;
    if (ok) error = errno;
    unlink(temp.c_str());
    errno = error;
    return false;
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string* text) {
    text->clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorOf(errno));
        return false;
    }
    bool ok = ReadFd(fd, text);
    int error = errno;
    close(fd);
    if (!ok) {
        text->clear();
        SetLastError(error == EISDIR ? ERROR_ACCESS_DENIED : ERROR_CANTREAD);
    }
    return ok;
}

bool ReadRegularTextFile(const std::string& path, size_t maxBytes, std::string* text) {
    return ReadRegularTextFile(path, maxBytes, text, [](const struct stat&) { return true; });
}

bool ReadRegularTextFile(const std::string& path, size_t maxBytes, std::string* text,
                         const std::function<bool(const struct stat&)>& accept) {
    text->clear();
    // Looked at before opening: opening a device can have effects of its own
    // (a tape rewinds), and a FIFO without a writer would wait for one.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_BAD_FILE_TYPE);
        return false;
    }
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorOf(errno));
        return false;
    }
    // The name may have been swapped for something else since the look.
    DWORD refused = ERROR_SUCCESS;
    if (fstat(fd, &st) != 0) {
        refused = ERROR_CANTREAD;
    } else if (!S_ISREG(st.st_mode)) {
        refused = ERROR_BAD_FILE_TYPE;
    } else if (!accept(st)) {
        refused = ERROR_ACCESS_DENIED;
    } else if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        refused = ERROR_FILE_TOO_LARGE;
    } else if (!ReadFd(fd, text, maxBytes)) {
        refused = ERROR_CANTREAD;
    } else if (text->size() > maxBytes) {
        refused = ERROR_FILE_TOO_LARGE;  // it grew while being read
    }
    close(fd);
    if (refused != ERROR_SUCCESS) {
        text->clear();
        SetLastError(refused);
        return false;
    }
    return true;
}

bool EditTextFile(const std::string& path, const std::function<bool(std::string&)>& edit,
                  std::optional<size_t> maxBytes) {
    int lock = LockDirectoryOf(path);
    if (lock < 0) {
        SetLastError(ErrorOf(errno));
        return false;
    }
    // Released only when the new file is in place, and also when edit throws.
    struct Unlock {
        int fd;
        ~Unlock() { close(fd); }
    } unlock{lock};
    std::string text;
    struct stat st {};
    bool exists = stat(path.c_str(), &st) == 0;
    if (exists &&
        !(maxBytes ? ReadRegularTextFile(path, *maxBytes, &text) : ReadTextFile(path, &text))) {
        return false;
    }
    if (!edit(text)) {
        SetLastError(ERROR_SUCCESS);
        return false;
    }
    if (!Replace(path, text, exists ? (st.st_mode & 07777) : orb::kPrivateFileMode)) {
        SetLastError(ErrorOf(errno));
        return false;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

}  // namespace orb
