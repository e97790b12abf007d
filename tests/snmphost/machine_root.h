// A private machine root for one test: a fresh directory under the temporary
// directory, named by ORB_MACHINE_ROOT while the test runs, removed after.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class ScopedMachineRoot {
  public:
    ScopedMachineRoot() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "snmphost-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
        setenv("ORB_MACHINE_ROOT", path_.c_str(), 1);
    }
    ~ScopedMachineRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};
