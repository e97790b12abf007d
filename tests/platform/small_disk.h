// A small disk for the tests of a full one: a tmpfs of a few MiB mounted on
// a directory for the life of the object. Mounting needs root (as in CI);
// elsewhere, or where mount is refused (a container without the right),
// why() says so and the test skips. The disk is unmounted in every case, and
// the directory is left empty as it was found.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orbtest {

class SmallDisk {
  public:
    SmallDisk(const std::string& dir, size_t bytes) : dir_(dir) {
        if (::geteuid() != 0) {
            why_ = "a full disk is made with a tmpfs, which only root may mount";
            return;
        }
        std::filesystem::create_directories(dir_);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        if (::mount("tmpfs", dir_.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            why_ = std::string("mounting a tmpfs was refused: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }
    const std::string& dir() const { return dir_; }

    // Fills the disk with filler files, to the last byte or until at most
    // `keep` bytes are left.
    void Fill(size_t keep = 0) {
        const std::string chunk(4096, 'f');
        for (int n = 0;; ++n) {
            const std::string path = dir_ + "/filler-" + std::to_string(n);
            std::ofstream out(path, std::ios::binary);
            fillers_.push_back(path);
            size_t written = 0;
            while (written < (1u << 20)) {
                if (keep > 0 && Available() <= keep) return;
                out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
                out.flush();
                if (!out) return;
                written += chunk.size();
            }
        }
    }
    // Removes every filler file.
    void Empty() {
        for (const std::string& path : fillers_) std::filesystem::remove(path);
        fillers_.clear();
    }
    size_t Available() const {
        std::error_code ec;
        return std::filesystem::space(dir_, ec).available;
    }

  private:
    std::string dir_;
    std::string why_;
    bool mounted_ = false;
    std::vector<std::string> fillers_;
};

}  // namespace orbtest
