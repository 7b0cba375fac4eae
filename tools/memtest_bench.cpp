// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the thorough memory test over one block: one cycle, pattern by pattern, against
// the plain write and read of the same block by the same threads; the designed 1/0 cycle on
// all threads and on one; and, where they are installed, memtester (one loop) and
// stressapptest over the same size, each run as a child process. Ctrl-C ends the run that is
// going on and prints what was measured. First, each kernel alone over a buffer that stays
// in the cache: how fast a pattern's values are made and compared, so a pattern slower than
// the memory shows as such.
//
//   memtest_bench [MiB = 1024] [stressapptest seconds = 20] [peers: 1 run them, 0 not]
//
// Figures from a busy or virtual machine are indicative only.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "diag/thorough.h"
#include "diag/thorough_engine.h"
#include "platform/cpus.h"
#include "platform/system_file.h"

extern char** environ;

namespace {

diag::StopFlag stop{false};

void onInterrupt(int) {
    stop.store(true);
}

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kCacheElements = 256 * 1024 / 8;

double gib(double bytes) {
    return bytes / double(1 << 30);
}

double gbPerSecond(std::optional<double> bytesPerSecond) {
    return bytesPerSecond ? *bytesPerSecond / 1e9 : 0;
}

// The largest cache of CPU 0 as sysfs describes it; nothing where it does not.
std::optional<std::int64_t> lastLevelCache() {
    std::optional<std::int64_t> largest;
    for (int index = 0; index < 8; ++index) {
        const std::string dir = "/sys/devices/system/cpu/cpu0/cache/index" + std::to_string(index);
        const auto size = platform::readFirstLine(dir + "/size");
        if (!size || size->empty() || size->back() != 'K') continue;
        const auto kib = platform::parseInteger(size->substr(0, size->size() - 1), 1, 1 << 30);
        if (kib && (!largest || *kib * 1024 > *largest)) largest = *kib * 1024;
    }
    return largest;
}

void row(const char* name, double seconds, double checkedBytes, double bytesPerSecond,
         std::optional<double> share) {
    std::printf("%-26s %9.2f %12.2f %12.2f", name, seconds, gib(checkedBytes),
                bytesPerSecond / 1e9);
    if (share)
        std::printf(" %9.0f %%\n", *share * 100);
    else
        std::printf("%11s\n", "-");
}

std::optional<diag::ThoroughResult> run(diag::ThoroughPlan plan, const char* what) {
    const auto started = Clock::now();
    const auto result = diag::runThoroughTest(plan, stop, [&](const diag::ThoroughProgress& p) {
        if (p.stage != diag::ThoroughProgress::Stage::Phase) return;
        std::fprintf(stderr, "  %s: %s %d/%d, %.1f s\n", what,
                     std::string(diag::patternName(p.pattern)).c_str(), p.phase + 1, p.phases,
                     std::chrono::duration<double>(Clock::now() - started).count());
    });
    if (!result) {
        std::fprintf(stderr, "%s: the test could not run (failure %d)\n", what,
                     static_cast<int>(result.error().kind));
        return std::nullopt;
    }
    return *result;
}

struct Child {
    double seconds = 0;
    int status = -1;
    std::string output;
};

// Runs `argv` with its output read back; nothing when it cannot be started (not installed).
std::optional<Child> runChild(std::vector<std::string> argv) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    const auto started = Clock::now();
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return std::nullopt;
    }
    Child child;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) {
                if (stop.load()) kill(pid, SIGINT);
                continue;
            }
            break;
        }
        child.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    while (waitpid(pid, &child.status, 0) < 0 && errno == EINTR) {
    }
    child.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return child;
}

// The last number before "MB/s" on stressapptest's "Stats: Completed:" line.
std::optional<double> stressapptestRate(const std::string& output) {
    const auto line = output.find("Stats: Completed:");
    if (line == std::string::npos) return std::nullopt;
    const auto unit = output.find("MB/s", line);
    if (unit == std::string::npos) return std::nullopt;
    auto start = output.rfind(' ', unit);
    if (start == std::string::npos || start < line) return std::nullopt;
    return std::strtod(output.c_str() + start + 1, nullptr);
}

// Bytes per second of `kernel` over a 256 KiB buffer, which the L2 cache holds, on this thread.
template <class Kernel>
double inCache(const diag::engine::DirectMemory& memory, Kernel&& kernel) {
    constexpr int kRepeats = 4096;  // 1 GiB
    const auto started = Clock::now();
    for (int k = 0; k < kRepeats; ++k) kernel(memory, diag::engine::Range{0, kCacheElements}, k);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return double(kCacheElements * 8) * kRepeats / seconds;
}

void kernelsInCache() {
    using namespace diag::engine;
    std::vector<std::uint64_t> buffer(kCacheElements);
    const DirectMemory memory(buffer.data());
    ThreadLog log;
    const platform::Pagemap pagemap;
    Locator locator(log, pagemap);
    const diag::StopFlag never{false};
    std::printf("%-26s %12s %12s  (one thread, 256 KiB in cache)\n", "kernel", "fill GB/s",
                "check GB/s");
    const auto both = [&](const char* name, const auto& value) {
        const double filled =
            inCache(memory, [&](const DirectMemory& m, Range r, int) { fill(m, r, value, never); });
        const double checked = inCache(memory, [&](const DirectMemory& m, Range r, int) {
            check(m, r, value, locator, never);
        });
        std::printf("%-26s %12.2f %12.2f\n", name, filled / 1e9, checked / 1e9);
    };
    both("plain (ceiling)", diag::SolidValue{0});
    both("own_address", diag::OwnAddressValue{0});
    both("checkerboard", diag::CheckerboardValue{0});
    both("walking", diag::WalkingValue{0});
    both("random", diag::RandomValue{0x1234});
    fill(memory, Range{0, kCacheElements}, diag::SolidValue{0}, never);
    const double sweep = inCache(memory, [&](const DirectMemory& m, Range r, int k) {
        const std::uint64_t p = k % 2 == 0 ? 0 : ~std::uint64_t{0};
        checkAndWriteUp(m, r, p, ~p, locator, never);
    });
    std::printf("%-26s %12s %12.2f  (check and write, per element)\n", "moving_inversions", "",
                sweep / 1e9);
    const double read =
        inCache(memory, [&](const DirectMemory& m, Range r, int) { readAll(m, r, never); });
    std::printf("%-26s %12s %12.2f  (plain read)\n", "", "", read / 1e9);
    if (log.total != 0)
        std::printf("(the kernels found %lld mismatches in the buffer)\n",
                    static_cast<long long>(log.total));
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    const int stressSeconds = argc > 2 ? std::atoi(argv[2]) : 20;
    const bool peers = argc > 3 ? std::atoi(argv[3]) != 0 : true;
    struct sigaction action = {};
    action.sa_handler = onInterrupt;  // no SA_RESTART: a waiting read returns at once
    sigaction(SIGINT, &action, nullptr);

    kernelsInCache();

    diag::ThoroughPlan plan;
    plan.bytes = mib << 20;
    plan.cpus = platform::allowedCpus();
    std::random_device entropy;
    plan.seed = std::uint64_t{entropy()} << 32 | entropy();
    plan.lastLevelCacheBytes = lastLevelCache();

    std::printf("\nblock %lld MiB, %zu threads, seed 0x%016llx\n", static_cast<long long>(mib),
                plan.cpus.size(), static_cast<unsigned long long>(plan.seed));
    const auto thorough = run(plan, "thorough");
    if (!thorough) return 1;
    const diag::ThoroughResult& t = *thorough;
    std::printf("locked: %s; block under 4x the last-level cache: %s\n",
                t.locked ? "yes" : "no (refused)",
                t.smallerThanFourCaches ? (*t.smallerThanFourCaches ? "yes" : "no") : "unknown");
    std::printf("\n%-26s %9s %12s %12s %11s\n", "", "seconds", "checked GiB", "checked GB/s",
                "of ceiling");
    if (t.ceiling) {
        const auto& c = *t.ceiling;
        std::printf("%-26s %9.2f %12s %12.2f  (first write after backing)\n", "first write",
                    double(c.firstWriteNs) * 1e-9, "-", double(c.bytes) / double(c.firstWriteNs));
        std::printf("%-26s %9.2f %12s %12.2f  (plain sequential write)\n", "ceiling: write",
                    double(c.writeNs) * 1e-9, "-", gbPerSecond(c.writeBytesPerSecond));
        std::printf("%-26s %9.2f %12s %12.2f  (plain sequential read)\n", "ceiling: read",
                    double(c.readNs) * 1e-9, "-", gbPerSecond(c.readBytesPerSecond));
    }
    double cycleSeconds = 0, cycleChecked = 0, cyclePlain = 0;
    for (const diag::PatternFigures& f : t.patterns) {
        const double seconds = double(f.elapsedNs) * 1e-9;
        row(std::string(diag::patternName(f.pattern)).c_str(), seconds, double(f.bytesChecked),
            f.checkedBytesPerSecond.value_or(0), f.ceilingShare);
        cycleSeconds += seconds;
        cycleChecked += double(f.bytesChecked);
        if (f.ceilingShare) cyclePlain += *f.ceilingShare * seconds;
    }
    if (cycleSeconds > 0) {
        row("thorough cycle", cycleSeconds, cycleChecked, cycleChecked / cycleSeconds,
            t.ceiling ? std::optional(cyclePlain / cycleSeconds) : std::nullopt);
        std::printf("%-26s %9s %12s %12.2f  (block per second of one cycle)\n", "", "", "",
                    double(plan.bytes) / cycleSeconds / 1e9);
    }
    std::printf("mismatches: %lld%s\n", static_cast<long long>(t.mismatchCount),
                t.stopped ? "; stopped before the cycle ended" : "");

    plan.patterns = diag::PatternSet::design();
    plan.measureCeiling = false;
    for (const bool oneThread : {false, true}) {
        if (stop.load()) break;
        if (oneThread) plan.cpus.resize(1);
        const auto design = run(plan, "design");
        if (!design || design->patterns.empty() || design->patterns[0].elapsedNs <= 0) continue;
        const diag::PatternFigures& f = design->patterns[0];
        const double seconds = double(f.elapsedNs) * 1e-9;
        const double share = t.ceiling && t.ceiling->writeBytesPerSecond
                                 ? (double(f.bytesWritten) / *t.ceiling->writeBytesPerSecond +
                                    double(f.bytesChecked) / *t.ceiling->readBytesPerSecond) /
                                       seconds
                                 : 0;
        row(oneThread ? "design, 1 thread" : "design, all threads", seconds, double(f.bytesChecked),
            f.checkedBytesPerSecond.value_or(0), t.ceiling ? std::optional(share) : std::nullopt);
    }

    if (!peers) return 0;
    std::printf("\n%-26s %9s %12s\n", "peer (child process)", "seconds", "GB/s");
    if (!stop.load()) {
        const auto memtester = runChild({"memtester", std::to_string(mib) + "M", "1"});
        if (!memtester)
            std::printf("%-26s not installed\n", "memtester");
        else
            std::printf("%-26s %9.2f %12.2f  (block per second of one loop; status %d)\n",
                        "memtester SIZE 1", memtester->seconds,
                        double(plan.bytes) / memtester->seconds / 1e9,
                        WIFEXITED(memtester->status) ? WEXITSTATUS(memtester->status) : -1);
    }
    if (!stop.load()) {
        const auto stress = runChild(
            {"stressapptest", "-M", std::to_string(mib), "-s", std::to_string(stressSeconds)});
        if (!stress) {
            std::printf("%-26s not installed\n", "stressapptest");
        } else {
            const auto rate = stressapptestRate(stress->output);
            std::printf("%-26s %9.2f %12.2f  (its own figure, MB/s / 1000; status %d)\n",
                        ("stressapptest -s " + std::to_string(stressSeconds)).c_str(),
                        stress->seconds, rate ? *rate / 1000 : 0,
                        WIFEXITED(stress->status) ? WEXITSTATUS(stress->status) : -1);
        }
    }
    return 0;
}
