#include "sysinfo/cache_detection.h"

#include "sysinfo/sweep.h"

namespace sysinfo {
namespace {

// The drop ratio is the 80-bit value nearest to 1.37, and the product is formed in that
// precision: 1.37L x 100 comes out as exactly 137, so 137 against 100 is not a drop.
constexpr long double kDropRatio = 1.37L;

}  // namespace

std::optional<std::string> cacheSizeText(const CacheSweepRates& rates) {
    std::optional<std::string> text;
    for (int k = 1; k < kCacheSweepCount; ++k) {
        const long double before = rates[k - 1];
        const long double after = rates[k];
        // Later tests overwrite earlier ones: the last drop is the outermost cache.
        if (before > kDropRatio * after) text = std::to_string(8 << (k - 1)) + " Kbyte";
    }
    return text;
}

CacheSweepRates runCacheSweeps() {
    // These are the program's first sweeps: until every page of the buffer has been
    // written once, they would all read the kernel's one zero page and find no drop.
    backSweepBuffer();
    CacheSweepRates rates{};
    for (int k = 0; k < kCacheSweepCount; ++k)
        rates[k] = memorySweep(cacheSweepLength(k), kCacheSweepFactor);
    return rates;
}

}  // namespace sysinfo
