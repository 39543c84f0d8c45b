// dmmctl run as a separate program, as engineers and scripts run it: its output, its exit
// code, and a home directory of its own for the per-user bench directory it sets up.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace dmm::test {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;

    std::vector<std::string> OutLines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the built dmmctl with a home directory of its own, so that the per-user bench
// directory it sets up lands in a scratch folder.
class Dmmctl {
  public:
    Dmmctl() {
        std::string pattern = (fs::temp_directory_path() / "dmmctl-test-XXXXXX").string();
        if (mkdtemp(pattern.data())) home_ = pattern;
    }
    ~Dmmctl() {
        std::error_code ignored;
        if (!home_.empty()) fs::remove_all(home_, ignored);
    }

    Outcome Run(const std::vector<std::string>& args) const { return Wait(Start(args)); }

    // Starts dmmctl without waiting for it; -1 when it could not be started. Its stdout goes
    // to stdoutFd when one is given (a pipe).
    pid_t Start(const std::vector<std::string>& args, int stdoutFd = -1) const {
        if (home_.empty()) return -1;
        const fs::path outPath = home_ / "stdout", errPath = home_ / "stderr";

        std::vector<std::string> words{DMMCTL_PATH};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);

        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_DATA_HOME=", 0) != 0)
                env.push_back(entry);
        }
        env.push_back("HOME=" + home_.string());
        env.push_back("XDG_DATA_HOME=" + (home_ / "data").string());
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        if (stdoutFd >= 0)
            posix_spawn_file_actions_adddup2(&files, stdoutFd, 1);
        else
            posix_spawn_file_actions_addopen(&files, 1, outPath.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = 0;
        const int spawned =
            posix_spawn(&pid, DMMCTL_PATH, &files, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&files);
        return spawned == 0 ? pid : -1;
    }

    Outcome Wait(pid_t pid) const {
        Outcome outcome;
        if (pid <= 0) return outcome;
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return outcome;
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.out = ReadFile(home_ / "stdout");
        outcome.err = ReadFile(home_ / "stderr");
        return outcome;
    }

    // What the running dmmctl has written to stdout and stderr so far.
    std::string OutSoFar() const { return ReadFile(home_ / "stdout"); }
    std::string ErrSoFar() const { return ReadFile(home_ / "stderr"); }
    const fs::path& home() const { return home_; }

  private:
    fs::path home_;
};

inline size_t IndexOf(const std::vector<std::string>& lines, const std::string& line, size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i] == line) return i;
    }
    return lines.size();
}

// A refusal is the program's own doing: not a crash, not a sanitizer report.
inline ::testing::AssertionResult RefusedCleanly(const Outcome& r) {
    if (r.exitCode < 0 || r.exitCode >= 128) {
        return ::testing::AssertionFailure() << "ended by signal or not run: " << r.exitCode;
    }
    for (const char* sign : {"Sanitizer", "runtime error:"}) {
        if (r.err.find(sign) != std::string::npos) return ::testing::AssertionFailure() << r.err;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace dmm::test
