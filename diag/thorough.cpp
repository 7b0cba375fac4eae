// SPDX-License-Identifier: GPL-3.0-or-later
#include "diag/thorough.h"

#include "diag/memtest.h"
#include "diag/thorough_engine.h"
#include "platform/oom.h"

namespace diag {
namespace engine {

CORVANE_THOROUGH_KERNELS(template)

}  // namespace engine

ThoroughRun runThoroughTest(const ThoroughPlan& plan, const StopFlag& stop,
                            const ProgressHook& progress) {
    const auto edacBefore = platform::readEdacCounts(plan.root);
    // Declared before the block, so it is put back only after the block is gone.
    const platform::FirstOomChoice firstOomChoice(plan.root);
    TestBlock block = TestBlock::map(plan.bytes);
    if (!block)
        return platform::Unexpected{
            ThoroughFailure{ThoroughFailure::Kind::NoBlock, plan.bytes, std::nullopt, 0}};
    const auto bytes = static_cast<std::size_t>(block.count()) * sizeof(std::int64_t);
    std::optional<platform::LockRefusal> lockRefusal;
    if (plan.lock) {
        if (const auto locked = platform::lockOnFault(block.data(), bytes); !locked)
            lockRefusal = locked.error();
    }
    const platform::Pagemap pagemap(plan.root / "proc/self/pagemap");
    const engine::DirectMemory memory(reinterpret_cast<std::uint64_t*>(block.data()));
    ThoroughRun run = engine::runEngine(memory, block.count(), plan, stop, progress, pagemap);
    if (!run) return run;

    ThoroughResult& result = *run;
    result.locked = plan.lock && !lockRefusal;
    result.lockRefusal = lockRefusal;
    if (plan.lastLevelCacheBytes)
        result.smallerThanFourCaches = result.bytes < 4 * *plan.lastLevelCacheBytes;
    if (edacBefore) {
        if (const auto edacAfter = platform::readEdacCounts(plan.root))
            result.edac = platform::edacChange(*edacBefore, *edacAfter);
    }
    return run;
}

}  // namespace diag
