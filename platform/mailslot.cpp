// Mailslots over local datagram sockets.
#include "platform/mailslot.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <strings.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "platform/machine.h"

namespace orb {
namespace {

bool Address(const std::string& path, sockaddr_un* address) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address->sun_path)) return false;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

std::string MailslotPath(const std::string& name) {
    std::string slot = name;
    const std::string prefix = "\\\\.\\mailslot\\";
    if (slot.size() > prefix.size() && strncasecmp(slot.c_str(), prefix.c_str(), prefix.size()) == 0)
        slot = slot.substr(prefix.size());
    if (slot.empty() || slot.find('/') != std::string::npos || slot.find('\\') != std::string::npos ||
        slot == "." || slot == "..")
        return "";
    std::string path = TempDirectory() + "/mailslot/" + slot;
    return path.size() < sizeof(sockaddr_un::sun_path) ? path : "";
}

bool SendMailslot(const std::string& name, const std::string& text) {
    sockaddr_un address;
    if (!Address(MailslotPath(name), &address)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    ssize_t sent = sendto(fd, text.data(), text.size(), MSG_DONTWAIT,
                          reinterpret_cast<sockaddr*>(&address), sizeof(address));
    close(fd);
    if (sent != static_cast<ssize_t>(text.size())) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return true;
}

MailslotReader::~MailslotReader() {
    if (fd_ >= 0) close(fd_);
    if (!path_.empty()) unlink(path_.c_str());
}

bool MailslotReader::Open(const std::string& name) {
    sockaddr_un address;
    std::string path = MailslotPath(name);
    if (fd_ >= 0 || !Address(path, &address)) return false;
    std::error_code ignored;
    std::filesystem::create_directories(TempDirectory() + "/mailslot", ignored);
    unlink(path.c_str());  // a receiver that died left its socket behind
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd_);
        fd_ = -1;
        return false;
    }
    path_ = path;
    return true;
}

bool MailslotReader::Read(std::string* text, DWORD timeoutMs) {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLIN, 0};
    int ready;
    do {
        ready = poll(&p, 1, static_cast<int>(timeoutMs));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;
    char buffer[65536];
    ssize_t n = recv(fd_, buffer, sizeof(buffer), 0);
    if (n < 0) return false;
    text->assign(buffer, static_cast<size_t>(n));
    return true;
}

}  // namespace orb
