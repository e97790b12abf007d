// Inside the UI layer: the terminal under the console front end -- raw
// input without echo, and keys decoded from the bytes a terminal sends.
#pragma once

#include <termios.h>

#include <string>
#include <vector>

namespace orb {

enum Key : int {
    kKeyNone = 0,
    kKeyInterrupt = 3,  // Ctrl-C, read as a key in raw mode
    kKeyEnter = 13,
    kKeyEscape = 27,
    kKeyF1 = 0x100,
    kKeyEndOfInput = 0x101,
};

// Raw mode on a terminal for the life of the object (nothing on other
// descriptors): keys arrive one by one, unechoed, Ctrl-C as a key.
class RawMode {
  public:
    explicit RawMode(int fd);
    ~RawMode();
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

  private:
    int fd_;
    bool active_ = false;
    termios saved_{};
};

// Decodes the keys in what one read returned. Escape sequences other than
// F1 are dropped; a lone ESC is the Escape key.
std::vector<int> DecodeKeys(const std::string& bytes);
// Reads what is available now (waitMs 0), or waits up to waitMs (-1: no
// limit) for the first byte. End of input gives kKeyEndOfInput.
std::vector<int> ReadKeys(int fd, int waitMs);
// Writes all of text (retrying short writes).
void WriteAll(int fd, const std::string& text);

}  // namespace orb
