// A machine root on a disk that can be filled: a small tmpfs mounted on a
// folder of the test's own (the superuser only; elsewhere, or where the
// mount is refused, the test is skipped with the reason). Fill() takes every
// free block, Free() gives them back; the disk is unmounted at the end.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/command.h"

namespace orbtest {

class FullDisk {
  public:
    // Mounts a tmpfs of `bytes` on `dir` (made when missing); see Skipped().
    FullDisk(const std::string& dir, size_t bytes) : dir_(dir) {
        if (geteuid() != 0) {
            reason_ = "a full disk needs the superuser to mount a tmpfs";
            return;
        }
        std::error_code ignored;
        std::filesystem::create_directories(dir_, ignored);
        std::string output;
        const int code = orb::RunCommand(
            {"mount", "-t", "tmpfs", "-o", "size=" + std::to_string(bytes) + ",mode=0700",
             "tmpfs", dir_},
            20000, &output);
        if (code != 0) {
            reason_ = "mount of a tmpfs refused: " + output;
            return;
        }
        mounted_ = true;
    }
    ~FullDisk() {
        if (!mounted_) return;
        std::string output;
        // Lazily: a program the test started may still hold a file open.
        orb::RunCommand({"umount", "-l", dir_}, 20000, &output);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // Empty when the disk is mounted; otherwise why not (for GTEST_SKIP).
    const std::string& Skipped() const { return reason_; }
    const std::string& Dir() const { return dir_; }

    // Writes a filler file until the disk takes no byte more.
    void Fill() {
        std::ofstream filler;
        filler.rdbuf()->pubsetbuf(nullptr, 0);
        filler.open(Filler(), std::ios::binary | std::ios::app);
        ASSERT_TRUE(filler.is_open());
        const std::vector<char> block(4096, 'F');
        // Bounded: the disk is small, and each write takes a block or fails.
        for (int i = 0; i < (1 << 20) && filler.write(block.data(), block.size()); ++i) {
        }
        filler.clear();
        for (int i = 0; i < 4096 && filler.write(block.data(), 1); ++i) {
        }
    }
    void Free() {
        std::error_code ignored;
        std::filesystem::remove(Filler(), ignored);
    }

  private:
    std::string Filler() const { return dir_ + "/filler"; }

    std::string dir_;
    std::string reason_;
    bool mounted_ = false;
};

}  // namespace orbtest
