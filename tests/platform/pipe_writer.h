// A named pipe that no test may wait on for ever: a reader that opens it
// would block until a writer comes, so after a grace period a writer comes
// again and again (each time handing `text` and the end of the file) until
// the test is over or a bounded number of rounds has passed.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "platform/sync.h"

namespace orbtest {

class PipeWriter {
  public:
    // Makes the pipe at path; Made() tells whether that worked.
    PipeWriter(const std::string& path, const std::string& text)
        : made_(mkfifo(path.c_str(), 0600) == 0) {
        if (!made_) return;
        writer_ = orb::Thread([this, path, text] {
            // 5 s of grace, then up to 15 s of writers, one each 100 ms.
            for (int round = 0; round < 200 && !done_; ++round) {
                Sleep(100);
                if (round < 50) continue;
                const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd < 0) continue;  // no reader is waiting
                opened_ = true;
                [[maybe_unused]] const ssize_t written = write(fd, text.data(), text.size());
                close(fd);
            }
        });
    }
    ~PipeWriter() { done_ = true; }
    bool Made() const { return made_; }
    // Whether a reader ever had the pipe open and waited for a writer.
    bool ReaderWaited() const { return opened_; }

  private:
    bool made_;
    std::atomic<bool> done_{false};
    std::atomic<bool> opened_{false};
    orb::Thread writer_;  // last: joined before the flags go
};

}  // namespace orbtest
