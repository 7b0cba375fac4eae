// SPDX-License-Identifier: GPL-3.0-or-later
// corvane-report itself on every core: Ctrl-C leaves no copy behind, and a run pinned to one
// CPU (as under `taskset -c 0`) has one CPU and one copy. The real benchmark runs here, so
// these are heavy.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Finished {
    pid_t pid = -1;
    int status = -1;
    std::string out, err;
};

// Runs corvane-report, on CPU 0 alone where `pinned`; Ctrl-C as soon as standard error shows
// a line that starts with `interruptAt`.
Finished runProgram(const std::vector<std::string>& arguments, bool pinned,
                    const std::string& interruptAt = "") {
    const fs::path out = fs::temp_directory_path() / ("corvane-cpus-" + std::to_string(getpid()));
    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0) return {};
    Finished finished;
    finished.pid = fork();
    if (finished.pid == 0) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(0, &one);
        if (pinned && sched_setaffinity(0, sizeof one, &one) != 0) _exit(126);
        if (!freopen(out.c_str(), "w", stdout) || dup2(errPipe[1], STDERR_FILENO) < 0) _exit(127);
        std::vector<char*> argv{const_cast<char*>(CORVANE_REPORT_PROGRAM)};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(errPipe[1]);
    bool interrupted = interruptAt.empty();
    char chunk[4096];
    for (ssize_t got; (got = read(errPipe[0], chunk, sizeof chunk)) != 0;) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        finished.err.append(chunk, static_cast<std::size_t>(got));
        if (!interrupted && finished.err.find("\n" + interruptAt) != std::string::npos) {
            kill(finished.pid, SIGINT);
            interrupted = true;
        }
    }
    close(errPipe[0]);
    waitpid(finished.pid, &finished.status, 0);
    std::ifstream in(out);
    finished.out.assign(std::istreambuf_iterator<char>(in), {});
    fs::remove(out);
    return finished;
}

// The processes whose command line says they are copies of the program `parent`: the
// group appends "--copy-of FD:INDEX:CPU:PARENT".
std::vector<std::string> copiesOf(pid_t parent) {
    std::vector<std::string> found;
    const std::string suffix = ":" + std::to_string(parent);
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "cmdline");
        const std::string line{std::istreambuf_iterator<char>(in), {}};
        const auto at = line.find(std::string("--copy-of") + '\0');
        if (at == std::string::npos) continue;
        const std::string where = line.substr(at + 10, line.find('\0', at + 10) - at - 10);
        if (where.ends_with(suffix)) found.push_back(entry.path().filename().string());
    }
    return found;
}

TEST(ReportCpusProgram, CtrlCLeavesNoCopyRunning) {
    // The kernels workload runs a copy a CPU from its first pass on; by the progress line
    // at ten seconds every copy has run rows.
    const Finished run = runProgram({"--stability", "60", "--cpus", "all", "--workload", "kernels"},
                                    false, "CPU test: 10 s");
    ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 130) << run.err;
    EXPECT_EQ(copiesOf(run.pid), std::vector<std::string>{});
    EXPECT_NE(run.out.find("Workload: kernels"), std::string::npos) << run.out;
}

TEST(ReportCpusProgram, OneCpuAllowedIsOneCpuAndOneCopy) {
    const Finished run =
        runProgram({"--bench", "cpu", "--stability", "1", "--cpus", "all", "--json"}, true);
    ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.err;
    const auto result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["machine"]["allowed_cpus"], "0");
    ASSERT_EQ(result["bench"]["copies"].size(), 1u);
    EXPECT_EQ(result["bench"]["copies"][0]["cpu"], 0);
    EXPECT_EQ(result["bench"]["multi_core"]["copies"], 1);
    ASSERT_EQ(result["stability"]["cpus"].size(), 1u);
    EXPECT_EQ(result["stability"]["cpus"][0]["cpu"], 0);
}

}  // namespace
