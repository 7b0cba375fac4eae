// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The memory test as corvane-report runs it: the window's designed 1/0 cycle with every
// mismatch located, or the thorough patterns on a thread per chosen CPU; both end in the
// same figures.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "diag/memtest.h"
#include "diag/thorough.h"
#include "diag/thorough_engine.h"
#include "platform/pagemap.h"
#include "platform/sources.h"
#include "report/collect.h"
#include "report/report.h"

namespace report {

// Locates the designed cycle's mismatches as its checks find them, into the records the
// thorough test keeps: the first ones whole, the rest counted, every bit counted.
class DesignedMismatches {
  public:
    explicit DesignedMismatches(const std::filesystem::path& root = "/")
        : pagemap_(root / "proc/self/pagemap") {}

    // A check's step of diag::kElementsPerStep elements from `first` of `memory` that held
    // elements other than `expected` (1 or 0) in `cycle` (from 1).
    template <class Memory>
    void wrongStep(const Memory& memory, std::int64_t first, std::int64_t expected,
                   std::int64_t cycle, std::int64_t wrong) {
        // The designed phases: 0 writes ones, 1 checks them, 2 writes zeros, 3 checks them.
        locator_.moveTo({diag::PatternId::Design, cycle, expected == 1 ? 1 : 3});
        locator_.rescan(memory, first, first + diag::kElementsPerStep,
                        diag::SolidValue{static_cast<std::uint64_t>(expected)}, 0, wrong);
    }

    // The mismatches, how many more there were, the bits and why an address is unknown.
    void copyTo(MemtestFigures& figures) const;

  private:
    diag::engine::ThreadLog log_;
    platform::Pagemap pagemap_;
    diag::engine::Locator locator_{log_, pagemap_};
};

// Keeps what the window would show, locates each mismatch, and stops the run after the
// cycles asked for.
class DesignedRecorder : public diag::MemTestView {
  public:
    DesignedRecorder(int cycles, MemtestFigures& figures, const Progress& progress,
                     const std::function<void(const MemtestFigures&)>& soFar,
                     const std::filesystem::path& root)
        : cycles_(cycles), figures_(figures), progress_(progress), soFar_(soFar), located_(root) {}

    void showSize(std::int64_t) override {}
    void showWriteSpeed(const diag::PhaseSpeed& speed) override { figures_.write = speed; }
    void showCheckSpeed(const diag::PhaseSpeed& speed) override { figures_.read = speed; }
    void showPasses(std::int64_t passes) override { figures_.passes = passes; }
    void showErrors(std::int64_t errors) override { figures_.errors = errors; }
    void processEvents(diag::EventPoint) override {}
    void refused(const diag::NoBlock&) override {}
    void cycleEnded(std::int64_t cycles) override;
    void ended() override {}
    bool locatesMismatches() const override { return true; }
    void wrongStep(const std::int64_t* block, std::int64_t first, std::int64_t expected,
                   std::int64_t wrong) override;

  private:
    int cycles_;
    std::int64_t cyclesEnded_ = 0;
    MemtestFigures& figures_;
    const Progress& progress_;
    const std::function<void(const MemtestFigures&)>& soFar_;
    DesignedMismatches located_;
};

// What a thorough run is asked for beyond the block.
struct ThoroughRequest {
    std::int64_t bytes = 0;
    diag::PatternSet patterns = diag::PatternSet::thorough();
    std::string patternsText = "thorough";  // as the command line named them
    int cycles = 1;
    std::uint64_t seed = 0;
    platform::CpuList cpus;
};

// The thorough run, with a progress line per phase; `stop` ends it within a chunk. The
// failure is the reason, for --memtest `given`.
platform::Expected<MemtestFigures, std::string> runThoroughMemtest(const ThoroughRequest& request,
                                                                   const diag::StopFlag& stop,
                                                                   const Progress& progress,
                                                                   const platform::Sources& sources,
                                                                   std::string_view given);

// The figures of a thorough result, under the set's name as given.
MemtestFigures thoroughFigures(const diag::ThoroughResult& result, std::string_view set);

}  // namespace report
