// Locked appends with fcntl byte-range locks. The range starts at the current
// end of the file and reaches to the largest possible offset, so a second
// writer waits until the first line is complete and then finds the new end.
#include "platform/filelock.h"
#include "platform/privatefs.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

namespace orb {
namespace {

DWORD Win32FromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return ERROR_ACCESS_DENIED;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        default: return ERROR_WRITE_FAULT;
    }
}

bool LockTail(int fd, short type) {
    struct flock range {};
    range.l_type = type;
    // Unlocking covers the whole file: the end has moved by the line written.
    range.l_whence = type == F_UNLCK ? SEEK_SET : SEEK_END;
    range.l_start = 0;
    range.l_len = 0;  // to the end of any later growth
    while (fcntl(fd, F_SETLKW, &range) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// Writes all of text at the end of the file, which the caller has locked.
bool WriteAtEnd(int fd, const char* text, size_t length) {
    off_t end = lseek(fd, 0, SEEK_END);
    if (end < 0) return false;
    while (length > 0) {
        ssize_t n = pwrite(fd, text, length, end);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text += n;
        length -= static_cast<size_t>(n);
        end += n;
    }
    return true;
}

// Whether fd is still the file at path: another writer may have moved it
// aside since fd was opened.
bool StillAt(int fd, const std::string& path) {
    struct stat opened {}, named {};
    return fstat(fd, &opened) == 0 && stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// The append under both locks; rotateAt 0: the file is never moved. *moved
// is set when another writer moved the file after it was opened (nothing was
// written: the caller opens the new one).
DWORD AppendOnce(const std::string& path, const char* text, size_t length, uint64_t rotateAt,
                 bool* moved) {
    *moved = false;
    int fd = orb::OpenPrivateFile(path, O_WRONLY);
    if (fd < 0) return Win32FromErrno(errno);
    DWORD result = ERROR_SUCCESS;
    // fcntl locks belong to the process: two threads of one process would
    // share them, so the threads take turns on a process-wide mutex first.
    static std::mutex* turns = new std::mutex;
    {
        std::lock_guard<std::mutex> hold(*turns);
        if (!LockTail(fd, F_WRLCK)) {
            result = ERROR_CANTWRITE;
        } else {
            struct stat st {};
            if (rotateAt > 0 && fstat(fd, &st) == 0 &&
                static_cast<uint64_t>(st.st_size) >= rotateAt) {
                // Only the writer that still holds the file at its name moves
                // it; the lock keeps every other writer out meanwhile.
                *moved = !StillAt(fd, path) || rename(path.c_str(), (path + ".1").c_str()) == 0;
                if (!*moved) result = Win32FromErrno(errno);
            } else if (!WriteAtEnd(fd, text, length)) {
                result = Win32FromErrno(errno);
            }
            LockTail(fd, F_UNLCK);
        }
    }
    close(fd);
    return result;
}

}  // namespace

DWORD AppendLocked(const std::string& path, const char* text, size_t length) {
    bool moved = false;
    return AppendOnce(path, text, length, 0, &moved);
}

DWORD AppendRotated(const std::string& path, const char* text, size_t length, uint64_t rotateAt) {
    // A moved file is followed to its new one; a few times at most, when
    // other writers keep filling and moving it.
    for (int attempt = 0; attempt < 4; ++attempt) {
        bool moved = false;
        const DWORD result = AppendOnce(path, text, length, rotateAt, &moved);
        if (!moved) return result;
    }
    return AppendLocked(path, text, length);
}

}  // namespace orb
