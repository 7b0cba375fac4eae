// SPDX-License-Identifier: GPL-3.0-or-later
// Pass rates of the stability workloads on every CPU this process may use, one CPU at a
// time: the designed pass as the workers run it (keeping its first mismatch), the same loop
// folding every check into one flag as it did before, and the vector loop on each unit the
// machine has. Then the per-CPU run on all CPUs at once, and how long a stop takes.
//
//   stability_bench [seconds per figure = 5]
//   stability_bench passes designed|unrecorded|vector N
//
// The second form only runs N passes of one workload, for instruction counts under
// callgrind (which has no AVX-512: the vector loop runs on AVX2 there).
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "diag/run_on_cpus.h"
#include "diag/stability.h"
#include "diag/vector_pass.h"
#include "platform/cpus.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The designed loop as it was before it kept its first mismatch: the same steps, each
// iteration's two checks and-ed into one flag.
diag::PassOutcome passWithoutRecording() {
    using namespace diag::detail;
    diag::NoFault fault;
    double a = 1.0;
    double b = 10.0;
    double two = 2.0;
    opaque(b);
    opaque(two);
    bool right = true;
    std::int64_t i = 0;
    right &= (iterate(a, b, two, i++, fault) == kBeforeRoundingFirst) & (a == kEndFirst);
    right &= (iterate(a, b, two, i++, fault) == kBeforeRoundingSecond) & (a == kEndSteady);
    for (; i < diag::kIterationsPerPass; ++i)
        right &= (iterate(a, b, two, i, fault) == kBeforeRoundingSteady) & (a == kEndSteady);
    return {right && a == kEndSteady, {}};
}

// Seconds of processor time the calling thread has had: on a machine shared with other work
// this moves only while the pass runs, where the wall clock also counts the waits.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Rate {
    int passes = 0, wrong = 0;
    double cpuSeconds = 0.0;

    void run(const diag::PassRoutine& pass) {
        const double start = threadSeconds();
        wrong += !pass().right;
        cpuSeconds += threadSeconds() - start;
        ++passes;
    }
    void print(const char* name, int cpu) const {
        std::printf("  %-28s CPU %d: %7.2f passes per CPU second  %7.2f ms a pass  %d wrong\n",
                    name, cpu, passes / cpuSeconds, cpuSeconds * 1000 / passes, wrong);
    }
};

// The two forms of the designed pass in turn, so that whatever else the machine does falls
// on both alike.
void recordingCost(int cpu, double seconds) {
    Rate recording, plain;
    const auto start = Clock::now();
    while (secondsSince(start) < seconds) {
        recording.run(diag::designedPass);
        plain.run(passWithoutRecording);
    }
    recording.print("designed pass", cpu);
    plain.print("designed pass, no recording", cpu);
    std::printf(
        "  first-mismatch recording: %+.1f %% of the pass rate\n",
        (recording.passes / recording.cpuSeconds / (plain.passes / plain.cpuSeconds) - 1) * 100);
}

void passRate(const char* name, int cpu, const diag::PassRoutine& pass, double seconds) {
    Rate rate;
    const auto start = Clock::now();
    while (secondsSince(start) < seconds) rate.run(pass);
    rate.print(name, cpu);
}

const char* unitName(diag::VectorUnit unit) {
    switch (unit) {
        case diag::VectorUnit::Avx512:
            return "vector loop, AVX-512";
        case diag::VectorUnit::Avx2Fma:
            return "vector loop, AVX2 + FMA";
        case diag::VectorUnit::None:
            break;
    }
    return "no vector unit";
}

void allCpus(const platform::CpuList& cpus, double seconds) {
    std::atomic<bool> stop{false};
    diag::CpuRunPlan plan;
    plan.cpus = cpus;
    plan.duration = std::chrono::hours(1);
    plan.stop = &stop;
    plan.retest = std::chrono::milliseconds(0);
    // Ctrl-C, as a signal handler would give it, after the seconds asked for.
    std::thread interrupt([&] {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        stop.store(true);
    });
    const auto start = Clock::now();
    const diag::CpuRunResult result = diag::runOnCpus(plan);
    const double total = secondsSince(start);
    interrupt.join();
    std::printf("designed pass on all %zu CPUs at once for %.1f s:\n", cpus.size(), seconds);
    for (const diag::CpuResult& cpu : result.cpus)
        std::printf("  CPU %d: %lld passes (%.2f/s), %lld errors, %lld unattributed\n", cpu.cpu,
                    static_cast<long long>(cpu.passes), static_cast<double>(cpu.passes) / seconds,
                    static_cast<long long>(cpu.errors),
                    static_cast<long long>(cpu.unattributedPasses));
    std::printf("  stop to return: %.0f ms\n", (total - seconds) * 1000);
}

int passesOnly(const std::string& workload, int n) {
    diag::PassRoutine pass;
    if (workload == "designed") pass = diag::designedPass;
    if (workload == "unrecorded") pass = passWithoutRecording;
    if (workload == "vector") pass = diag::vectorPassRoutine().value_or(nullptr);
    if (!pass) {
        std::fprintf(stderr, "no such workload here: %s\n", workload.c_str());
        return 2;
    }
    int wrong = 0;
    for (int k = 0; k < n; ++k) wrong += !pass().right;
    std::printf("%s: %d passes, %d wrong\n", workload.c_str(), n, wrong);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "passes")
        return passesOnly(argv[2], std::atoi(argv[3]));
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const platform::CpuList cpus = platform::allowedCpus();
    std::printf("widest vector unit: %s\n", unitName(diag::widestVectorUnit()));
    for (const int cpu : cpus) {
        if (!platform::pinCurrentThread(cpu)) {
            std::printf("CPU %d: cannot be pinned\n", cpu);
            continue;
        }
        std::printf("CPU %d alone:\n", cpu);
        recordingCost(cpu, 2 * seconds);
        for (const auto unit : {diag::VectorUnit::Avx2Fma, diag::VectorUnit::Avx512})
            if (const auto vector = diag::vectorPassRoutine(unit))
                passRate(unitName(unit), cpu, *vector, seconds);
    }
    platform::allowCurrentThread(cpus);
    allCpus(cpus, seconds);
    return 0;
}
