// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The patterns of the thorough memory test, by the stable names the command line and the
// JSON use, and the value each one puts in the element at a given offset of the block.
//
// Every value is a function of the element's offset in the whole block (and of the seed and
// cycle for the random one), never of where a thread's slice begins: however the block is
// split, each element gets the same value, and a check regenerates it without storing it.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expected.h"

namespace diag {

// In the order one cycle runs them; the designed 1/0 cycle runs last when it is chosen too.
enum class PatternId : std::uint8_t {
    OwnAddress,        // each element its own offset, then its complement: address lines
    Solid,             // all 0s, then all 1s: every bit stuck at 0 or 1
    Checkerboard,      // 0x55../0xAA.. alternating, then inverted: neighbouring bits coupled
    Walking,           // one bit set (then clear) moving a place per element: data lines
    Random,            // seeded random values: data-dependent faults
    MovingInversions,  // p up, then (check p, write ~p) up, then (check ~p, write p) down
    Design,            // the window's cycle: 1 written and checked, then 0
};

inline constexpr std::array kPatternOrder = {
    PatternId::OwnAddress, PatternId::Solid,  PatternId::Checkerboard,
    PatternId::Walking,    PatternId::Random, PatternId::MovingInversions,
    PatternId::Design,
};

// "own_address", "solid", "checkerboard", "walking", "random", "moving_inversions", "design".
std::string_view patternName(PatternId pattern);
std::optional<PatternId> patternFromName(std::string_view name);

// How many phases (writes, checks, check-and-writes) one run of the pattern has.
int phaseCount(PatternId pattern);

class PatternSet {
  public:
    PatternSet() = default;
    // The six thorough patterns; the designed cycle alone.
    static PatternSet thorough();
    static PatternSet design();

    void add(PatternId pattern) { bits_ |= bit(pattern); }
    bool contains(PatternId pattern) const { return (bits_ & bit(pattern)) != 0; }
    bool empty() const { return bits_ == 0; }
    // The chosen patterns in the order of a cycle.
    std::vector<PatternId> inOrder() const;
    friend bool operator==(const PatternSet&, const PatternSet&) = default;

  private:
    static std::uint32_t bit(PatternId pattern) {
        return std::uint32_t{1} << static_cast<unsigned>(pattern);
    }
    std::uint32_t bits_ = 0;
};

struct PatternSetError {
    enum class Kind {
        Empty,        // nothing, or an empty name between commas
        UnknownName,  // `name` is none of the choices
    };
    Kind kind = Kind::Empty;
    std::string name;
};

// "design", "thorough" or a comma-separated list of pattern names ("thorough" among them
// stands for its six), in any order and with repeats; a cycle runs them in its own order.
platform::Expected<PatternSet, PatternSetError> parsePatternSet(std::string_view text);

// What the option takes, for --help: "design", "thorough", then every pattern name.
std::span<const std::string_view> patternChoices();

// The values. `mask` is 0 for a pattern's first half and ~0 for its complement.
struct OwnAddressValue {
    std::uint64_t mask;
    std::uint64_t operator()(std::int64_t offset) const {
        return static_cast<std::uint64_t>(offset) ^ mask;
    }
};

struct SolidValue {
    std::uint64_t value;
    std::uint64_t operator()(std::int64_t) const { return value; }
};

inline constexpr std::uint64_t kCheckerboard = 0x5555'5555'5555'5555;

// 0x5555... at even offsets and 0xAAAA... at odd ones, so that every bit differs from its
// neighbours in the element and from the same bit in the next element.
struct CheckerboardValue {
    std::uint64_t mask;
    std::uint64_t operator()(std::int64_t offset) const {
        const std::uint64_t odd = 0 - (static_cast<std::uint64_t>(offset) & 1);
        return kCheckerboard ^ odd ^ mask;
    }
};

// Bit (offset mod 64) set: every bit of every data line is the only one set once per 64
// elements. With the mask ~0, the only one clear.
struct WalkingValue {
    std::uint64_t mask;
    std::uint64_t operator()(std::int64_t offset) const {
        return (std::uint64_t{1} << (static_cast<std::uint64_t>(offset) & 63)) ^ mask;
    }
};

// splitmix64's output function: every input bit reaches every output bit, in a few
// instructions that independent elements overlap.
inline std::uint64_t mix64(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9;
    z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EB;
    return z ^ (z >> 31);
}

// A key per seed and cycle, so that each cycle writes other values and a run can be
// repeated from its seed.
std::uint64_t randomPatternKey(std::uint64_t seed, std::int64_t cycle);

struct RandomValue {
    std::uint64_t key;
    std::uint64_t operator()(std::int64_t offset) const {
        return mix64(key + static_cast<std::uint64_t>(offset) * 0x9E37'79B9'7F4A'7C15);
    }
};

// The value the random pattern puts at `offset` in `cycle` (counted from 1).
std::uint64_t randomPatternValue(std::uint64_t seed, std::int64_t cycle, std::int64_t offset);

// Moving inversions starts from all 0s: its first sweep turns every bit 0 -> 1 in ascending
// order, its second 1 -> 0 in descending order.
inline constexpr std::uint64_t kMovingInversionsStart = 0;

}  // namespace diag
