// Runs one of the built programs with its input from a text and its output
// and errors captured, the way scripts use them.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/platform/bin_dir.h"

extern char** environ;

namespace orbtest {

struct Outcome {
    int exit = -1;
    std::string out;
    std::string err;
};

inline std::string Slurp(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// program: a name in the build's bin folder; dir: where the captured files go.
inline Outcome RunTool(const std::string& dir, const std::string& program,
                       const std::vector<std::string>& args, const std::string& input = "") {
    const std::string in = dir + "/stdin.txt", out = dir + "/stdout.txt", err = dir + "/stderr.txt";
    std::ofstream(in) << input;
    std::vector<std::string> argv{orbtest::BinDir() + "/" + program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& arg : argv) raw.push_back(arg.data());
    raw.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    Outcome run;
    if (posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ) == 0) {
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exit = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = Slurp(out);
    run.err = Slurp(err);
    return run;
}

}  // namespace orbtest
