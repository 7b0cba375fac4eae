// SPDX-License-Identifier: GPL-3.0-or-later
// The stability test pinned to every chosen CPU: an error is put on the CPU that made it and
// retested there, a stop ends the run with what it found, a CPU that cannot be had is said to
// be so, and a pass the worker ran elsewhere is kept apart. Time is a fake clock, moved by
// the run's waits or by the injected passes; passes are short. Qt-free: runs under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "diag/run_on_cpus.h"

namespace {

using namespace std::chrono_literals;
using diag::CpuOutcome;
using diag::Retest;

std::atomic<std::uint64_t> fakeNs{0};
constexpr std::uint64_t kMs = 1'000'000;

// The run's waits move the time on: each phase lasts exactly its length.
platform::Clock waitsMoveTime() {
    fakeNs = 0;
    platform::Clock clock;
    clock.nanoseconds = [] { return fakeNs.load(); };
    clock.sleepMs = [](std::uint32_t ms) { fakeNs += ms * kMs; };
    return clock;
}

// Only the passes move the time on; the run's waits just yield.
platform::Clock passesMoveTime() {
    platform::Clock clock = waitsMoveTime();
    clock.sleepMs = [](std::uint32_t) { std::this_thread::yield(); };
    return clock;
}

platform::CpuList twoCpus() {
    platform::CpuList cpus = platform::allowedCpus();
    if (cpus.size() > 2) cpus.resize(2);
    return cpus;
}

// A short designed pass whose 300th iteration ends one too high where `wrong` says.
template <class Wrong>
diag::PassRoutine shortPass(Wrong wrong) {
    return [wrong] {
        return diag::stabilityPass(1000, [&](std::int64_t i, diag::Step step, double a) {
            return i == 300 && step == diag::Step::Double && wrong() ? a + 1 : a;
        });
    };
}

diag::CpuRunPlan plan(platform::CpuList cpus, platform::Clock clock, diag::PassRoutine pass) {
    diag::CpuRunPlan p;
    p.cpus = std::move(cpus);
    p.clock = clock;
    p.pass = std::move(pass);
    p.duration = 3s;
    p.retest = 1s;
    return p;
}

TEST(RunOnCpus, ErrorsOfOneCpuAreItsAloneAndItsRetestConfirmsThem) {
    const platform::CpuList cpus = twoCpus();
    if (cpus.size() < 2) GTEST_SKIP() << "one CPU";
    const int faulty = cpus[1];
    const auto result = diag::runOnCpus(
        plan(cpus, waitsMoveTime(), shortPass([=] { return platform::currentCpu() == faulty; })));

    ASSERT_EQ(result.cpus.size(), 2u);
    const diag::CpuResult& sound = result.cpus[0];
    const diag::CpuResult& bad = result.cpus[1];
    EXPECT_EQ(std::tuple(sound.cpu, sound.outcome, sound.errors, sound.retest),
              std::tuple(cpus[0], CpuOutcome::Tested, 0, Retest::None));
    EXPECT_GT(sound.passes, 0);
    EXPECT_EQ(bad.cpu, faulty);
    EXPECT_GT(bad.errors, 0);
    EXPECT_EQ(bad.errors, bad.passes);
    ASSERT_TRUE(bad.firstError && bad.firstError->mismatch);
    EXPECT_EQ(bad.firstError->pass, 1);
    EXPECT_EQ(*bad.firstError->mismatch,
              (diag::FirstMismatch{300, diag::CheckedValue::IterationEnd, 0, 100.0, 101.0}));
    // The retest ends at its first error.
    EXPECT_EQ(std::tuple(bad.retest, bad.retestPasses, bad.retestErrors),
              std::tuple(Retest::Confirmed, 1, 1));
    EXPECT_EQ(result.phase, diag::RunPhase::Ended);
    EXPECT_FALSE(result.stopped);
    EXPECT_TRUE(result.foundErrors());
}

TEST(RunOnCpus, SingleErrorIsNotReproducedAndEveryPhaseIsSampled) {
    std::atomic<bool> failed{false};
    auto p = plan({platform::allowedCpus().at(0)}, waitsMoveTime(),
                  shortPass([&] { return !failed.exchange(true); }));
    p.duration = 5s;
    p.retest = 3s;
    std::vector<std::tuple<double, diag::RunPhase, int>> samples;
    p.sample = [&](const diag::CpuRunResult& soFar) {
        samples.emplace_back(soFar.seconds, soFar.phase, soFar.retestCpu);
    };
    const auto result = diag::runOnCpus(p);

    const diag::CpuResult& cpu = result.cpus.at(0);
    EXPECT_EQ(cpu.errors, 1);
    EXPECT_EQ(cpu.retest, Retest::NotReproduced);
    EXPECT_GT(cpu.retestPasses, 0);
    EXPECT_EQ(cpu.retestErrors, 0);
    using enum diag::RunPhase;
    const int c = cpu.cpu;
    EXPECT_EQ(samples, (std::vector<std::tuple<double, diag::RunPhase, int>>{{1, AllCpus, -1},
                                                                             {2, AllCpus, -1},
                                                                             {3, AllCpus, -1},
                                                                             {4, AllCpus, -1},
                                                                             {5, Retest, c},
                                                                             {6, Retest, c},
                                                                             {7, Retest, c}}));
    EXPECT_EQ(result.seconds, 8.0);
    EXPECT_EQ(diag::retestLength(5s), 10s);
    EXPECT_EQ(diag::retestLength(1000s), 100s);
}

TEST(RunOnCpus, TimeOfTheFirstErrorIsTheEndOfItsPass) {
    std::atomic<int> calls{0};
    auto p = plan({platform::allowedCpus().at(0)}, passesMoveTime(), [&] {
        fakeNs += 250 * kMs;
        return diag::PassOutcome{++calls != 3, {}};
    });
    p.duration = 2s;
    const auto result = diag::runOnCpus(p);
    const diag::CpuResult& cpu = result.cpus.at(0);
    ASSERT_TRUE(cpu.firstError);
    EXPECT_EQ(cpu.firstError->pass, 3);
    EXPECT_EQ(cpu.firstError->seconds, 0.75);
    EXPECT_FALSE(cpu.firstError->mismatch);  // this pass routine tells none
    EXPECT_GE(cpu.passes, 8);
}

TEST(RunOnCpus, StopEndsEveryWorkerAndKeepsWhatWasFound) {
    const platform::CpuList cpus = twoCpus();
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    // In the run on all CPUs: the fifth pass anywhere stops it; the first CPU's are wrong.
    auto p = plan(cpus, passesMoveTime(), shortPass([&] {
                      if (++calls == 5) stop = true;
                      return platform::currentCpu() == cpus[0];
                  }));
    p.duration = 1h;
    p.stop = &stop;
    auto result = diag::runOnCpus(p);
    EXPECT_TRUE(result.stopped);
    EXPECT_GT(result.cpus.at(0).errors, 0);
    EXPECT_EQ(result.cpus[0].retest, Retest::Stopped);
    for (const diag::CpuResult& cpu : result.cpus) EXPECT_GT(cpu.passes, 0);

    // In a retest: stopped there before it found anything.
    stop = false;
    std::atomic<bool> failed{false};
    p = plan({cpus[0]}, waitsMoveTime(), shortPass([&] { return !failed.exchange(true); }));
    p.duration = 2s;
    p.retest = 10s;
    p.stop = &stop;
    p.sample = [&](const diag::CpuRunResult& soFar) {
        if (soFar.phase == diag::RunPhase::Retest) stop = true;
    };
    result = diag::runOnCpus(p);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.cpus.at(0).retest, Retest::Stopped);
    EXPECT_EQ(result.seconds, 2.0);
}

TEST(RunOnCpus, CpuThatCannotBePinnedIsToldAndNotTestedElsewhere) {
    const int usable = platform::allowedCpus().at(0);
    const auto result =
        diag::runOnCpus(plan({usable, 4095, -1}, waitsMoveTime(), shortPass([] { return false; })));
    ASSERT_EQ(result.cpus.size(), 3u);
    EXPECT_EQ(result.cpus[0].outcome, CpuOutcome::Tested);
    EXPECT_GT(result.cpus[0].passes, 0);
    for (const int n : {1, 2}) {
        const diag::CpuResult& cpu = result.cpus[static_cast<std::size_t>(n)];
        EXPECT_EQ(std::tuple(cpu.outcome, cpu.passes, cpu.unattributedPasses, cpu.retest),
                  std::tuple(CpuOutcome::NotPinned, 0, 0, Retest::None));
    }
    EXPECT_FALSE(result.foundErrors());
}

// The pass moves its own thread away and back: the two passes it began or ended elsewhere
// count apart, and the wrong one among them blames no CPU.
TEST(RunOnCpus, PassRunElsewhereIsCountedApart) {
    const platform::CpuList cpus = twoCpus();
    if (cpus.size() < 2) GTEST_SKIP() << "one CPU";
    auto p = plan({cpus[0]}, passesMoveTime(), [&] {
        thread_local int calls = 0;
        fakeNs += 1000 * kMs;
        ++calls;
        if (calls <= 2) platform::pinCurrentThread(cpus[calls == 1 ? 1 : 0]);
        return diag::PassOutcome{calls != 1, {}};
    });
    const auto result = diag::runOnCpus(p);
    const diag::CpuResult& cpu = result.cpus.at(0);
    EXPECT_EQ(std::tuple(cpu.unattributedPasses, cpu.unattributedErrors, cpu.errors),
              std::tuple(2, 1, 0));
    EXPECT_GT(cpu.passes, 0);
    EXPECT_EQ(cpu.retest, Retest::None);
    EXPECT_TRUE(result.foundErrors());
}

}  // namespace
