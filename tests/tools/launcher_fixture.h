// A private machine in batch mode with a process starter that records what
// would be started and starts nothing.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dynload.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/resource.h"
#include "tests/platform/scratch_dir.h"

namespace orbtest {

class RecordingStarter : public orb::ProcessStarter {
  public:
    bool Start(const orb::StartRequest& request, orb::Process* out) override {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        *out = orb::Process{};
        out->ended = true;
        out->exitCode = exitCode_;
        out->endSignal = endSignal_;
        return true;
    }
    std::vector<orb::StartRequest> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    // signal: the one that ended the process (its code is then 128 + signal).
    void SetExitCode(DWORD code, int signal = 0) {
        exitCode_ = code;
        endSignal_ = signal;
    }

  private:
    std::mutex mutex_;
    std::vector<orb::StartRequest> requests_;
    DWORD exitCode_ = 0;
    int endSignal_ = 0;
};

inline void WriteProgram(const std::string& path, const std::string& body = "exit 0") {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
}

class LauncherTest : public ::testing::Test {
  protected:
    LauncherTest() { orb::SetProcessStarter(&starter_); }
    ~LauncherTest() override { orb::SetProcessStarter(nullptr); }

    // Text `id` of the launchers' resource library, as the programs show it.
    static std::string ResourceText(UINT id) {
        HMODULE library = LoadLibraryA("NWOrbClsRes.dll");
        char text[1024] = {};
        LoadStringA(library, id, text, sizeof text);
        if (library != nullptr) FreeLibrary(library);
        return text;
    }

    ScratchDir dir_;
    ScopedEnv root_{"ORB_MACHINE_ROOT", dir_ / "machine"};
    ScopedEnv ui_{"ORB_UI", "batch"};
    RecordingStarter starter_;
};

}  // namespace orbtest
