// Terminal input for the console front end.
#include "platform/ui/terminal.h"

#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

namespace orb {

RawMode::RawMode(int fd) : fd_(fd) {
    if (!isatty(fd_) || tcgetattr(fd_, &saved_) != 0) return;
    termios raw = saved_;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG));
    raw.c_iflag &= static_cast<tcflag_t>(~(IXON | ICRNL));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    active_ = tcsetattr(fd_, TCSANOW, &raw) == 0;
}

RawMode::~RawMode() {
    if (active_) tcsetattr(fd_, TCSANOW, &saved_);
}

std::vector<int> DecodeKeys(const std::string& bytes) {
    std::vector<int> keys;
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c != 0x1b) {
            keys.push_back(c == '\n' ? static_cast<int>(kKeyEnter) : static_cast<int>(c));
            continue;
        }
        if (i + 1 == bytes.size() || (bytes[i + 1] != '[' && bytes[i + 1] != 'O')) {
            keys.push_back(kKeyEscape);
            continue;
        }
        // CSI or SS3: the sequence ends at its first letter or '~'.
        size_t end = i + 2;
        while (end < bytes.size() && !std::isalpha(static_cast<unsigned char>(bytes[end])) &&
               bytes[end] != '~') {
            ++end;
        }
        std::string sequence = bytes.substr(i, end + 1 - i);
        if (sequence == "\x1bOP" || sequence == "\x1b[11~" || sequence == "\x1b[[A") {
            keys.push_back(kKeyF1);
        }
        i = end;
    }
    return keys;
}

std::vector<int> ReadKeys(int fd, int waitMs) {
    pollfd ready{fd, POLLIN, 0};
    int polled;
    do {
        polled = poll(&ready, 1, waitMs);
    } while (polled < 0 && errno == EINTR);
    if (polled <= 0) return {};
    char buffer[64];
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return {kKeyEndOfInput};
    if (got < 0) return {};
    return DecodeKeys(std::string(buffer, static_cast<size_t>(got)));
}

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return;
        done += static_cast<size_t>(wrote);
    }
}

}  // namespace orb
