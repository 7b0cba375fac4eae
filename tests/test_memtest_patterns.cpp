// SPDX-License-Identifier: GPL-3.0-or-later
// What the thorough memory test reads and parses around its patterns: the option that
// chooses them, the page map that gives a mismatch its physical address, and the memory
// controllers' error counters.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "diag/patterns.h"
#include "platform/edac.h"
#include "platform/pagemap.h"

namespace {

using diag::PatternId;
using diag::PatternSet;
using diag::PatternSetError;

PatternSet setOf(std::initializer_list<PatternId> patterns) {
    PatternSet set;
    for (const PatternId p : patterns) set.add(p);
    return set;
}

TEST(PatternOption, NamesKeywordsAndListsInAnyOrder) {
    EXPECT_EQ(*diag::parsePatternSet("design"), PatternSet::design());
    EXPECT_EQ(*diag::parsePatternSet("thorough"), PatternSet::thorough());
    EXPECT_EQ(diag::parsePatternSet("thorough")->inOrder(),
              (std::vector<PatternId>{PatternId::OwnAddress, PatternId::Solid,
                                      PatternId::Checkerboard, PatternId::Walking,
                                      PatternId::Random, PatternId::MovingInversions}));
    // A cycle runs them in its own order, whatever the order and repeats of the option.
    EXPECT_EQ(diag::parsePatternSet("walking,solid,solid")->inOrder(),
              (std::vector<PatternId>{PatternId::Solid, PatternId::Walking}));
    PatternSet everything = PatternSet::thorough();
    everything.add(PatternId::Design);
    EXPECT_EQ(*diag::parsePatternSet("design,thorough"), everything);
    // Every name for --help parses, and each pattern's name is its own.
    for (const std::string_view choice : diag::patternChoices())
        EXPECT_TRUE(diag::parsePatternSet(choice)) << choice;
    for (const PatternId p : diag::kPatternOrder) {
        EXPECT_EQ(diag::patternFromName(diag::patternName(p)), p);
        EXPECT_EQ(*diag::parsePatternSet(diag::patternName(p)), setOf({p}));
    }
}

TEST(PatternOption, EmptyNamesAndUnknownNamesAreRefusedWithTheName) {
    for (const char* text : {"", ",", "solid,", ",solid", "solid,,walking"}) {
        const auto parsed = diag::parsePatternSet(text);
        ASSERT_FALSE(parsed) << text;
        EXPECT_EQ(parsed.error().kind, PatternSetError::Kind::Empty) << text;
    }
    for (const auto& [text, name] :
         {std::pair{"Solid", "Solid"}, {"solid,walk", "walk"}, {"solid ,walking", "solid "}}) {
        const auto parsed = diag::parsePatternSet(text);
        ASSERT_FALSE(parsed) << text;
        EXPECT_EQ(parsed.error().kind, PatternSetError::Kind::UnknownName);
        EXPECT_EQ(parsed.error().name, name);
    }
}

// The caller prints the seed so that a run can be repeated: the same seed and cycle give the
// same values, another cycle or seed others.
TEST(RandomPattern, ReproducibleFromSeedAndCycleAndDifferentPerCycle) {
    EXPECT_EQ(diag::randomPatternValue(42, 1, 1000), diag::randomPatternValue(42, 1, 1000));
    EXPECT_NE(diag::randomPatternValue(42, 1, 1000), diag::randomPatternValue(42, 2, 1000));
    EXPECT_NE(diag::randomPatternValue(42, 1, 1000), diag::randomPatternValue(43, 1, 1000));
    // Every bit is 1 about half the time: a stuck bit is caught within a few cycles.
    int ones[64] = {};
    for (std::int64_t offset = 0; offset < 4096; ++offset)
        for (int bit = 0; bit < 64; ++bit)
            ones[bit] += static_cast<int>(diag::randomPatternValue(7, 1, offset) >> bit & 1);
    for (int bit = 0; bit < 64; ++bit) {
        EXPECT_GT(ones[bit], 1800) << bit;
        EXPECT_LT(ones[bit], 2300) << bit;
    }
}

// A scratch directory below the system's temporary one, removed after the test.
class ScratchTree : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove_all(root); }
    void write(const std::string& path, const std::string& text) {
        std::filesystem::create_directories((root / path).parent_path());
        std::ofstream(root / path) << text;
    }
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() /
        ("corvane-memtest-" + std::to_string(::getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

using PagemapFile = ScratchTree;

constexpr std::uint64_t kPresent = std::uint64_t{1} << 63;

TEST_F(PagemapFile, FrameTimesPageSizePlusOffsetZeroFrameNeedsRootAbsentPageIsNotPresent) {
    const std::uint64_t page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    // Entries for pages 0 to 3: a frame, a frame with the soft-dirty and exclusive flags
    // beside it (bits 55 and 56), the frame 0 an ordinary user is shown, a page not present.
    const std::vector<std::uint64_t> entries = {
        kPresent | 0x1234, kPresent | std::uint64_t{3} << 55 | 0x10, kPresent, 0x5678};
    std::filesystem::create_directories(root);
    std::ofstream(root / "pagemap", std::ios::binary)
        .write(reinterpret_cast<const char*>(entries.data()),
               static_cast<std::streamsize>(entries.size() * sizeof(std::uint64_t)));
    const platform::Pagemap pagemap(root / "pagemap");
    EXPECT_EQ(pagemap.physicalAddress(0x18).value(), 0x1234 * page + 0x18);
    EXPECT_EQ(pagemap.physicalAddress(page + 8).value(), 0x10 * page + 8);
    EXPECT_EQ(pagemap.physicalAddress(2 * page).error(), platform::FrameUnknown::NeedsRoot);
    EXPECT_EQ(pagemap.physicalAddress(3 * page + 1).error(), platform::FrameUnknown::NotPresent);
    EXPECT_EQ(pagemap.physicalAddress(4 * page).error(), platform::FrameUnknown::Unreadable);
    EXPECT_EQ(platform::Pagemap(root / "missing").physicalAddress(0).error(),
              platform::FrameUnknown::Unreadable);
}

TEST(Pagemap, ThisProcessTouchedPageHasAFrameOrNeedsRoot) {
    static std::uint64_t touched = 1;
    touched += 1;
    const auto physical =
        platform::Pagemap().physicalAddress(reinterpret_cast<std::uintptr_t>(&touched));
    if (::geteuid() == 0)
        EXPECT_TRUE(physical.has_value());
    else
        EXPECT_EQ(physical.error(), platform::FrameUnknown::NeedsRoot);
}

using EdacTree = ScratchTree;

TEST_F(EdacTree, MissingDirectoryMeansNoCounters) {
    EXPECT_FALSE(platform::readEdacCounts(root));
    write("sys/devices/system/edac/power/state", "on\n");  // EDAC without a controller
    EXPECT_FALSE(platform::readEdacCounts(root));
}

TEST_F(EdacTree, ControllersAndModulesInNumberOrderWithOrWithoutLabels) {
    const std::string mc = "sys/devices/system/edac/mc/";
    write(mc + "mc0/ce_count", "3\n");
    write(mc + "mc0/ue_count", "0\n");
    write(mc + "mc0/dimm0/dimm_ce_count", "1\n");
    write(mc + "mc0/dimm0/dimm_ue_count", "0\n");
    write(mc + "mc0/dimm0/dimm_label", "CPU_SrcID#0_Ha#0_Chan#0_DIMM#0\n");
    write(mc + "mc0/dimm10/dimm_ce_count", "2\n");  // no label file, no ue count
    write(mc + "mc0/dimm2/dimm_ce_count", "0\n");
    write(mc + "mc0/dimm2/dimm_label", "  \n");  // an empty label is none
    write(mc + "mc10/ce_count", "garbage\n");
    write(mc + "mc10/rank1/dimm_ce_count", "5\n");
    write(mc + "mc2/ce_count", "0\n");
    write(mc + "mc/ce_count", "9\n");  // not a controller
    write(mc + "mc0/dimm_extra", "x\n");

    const auto counts = platform::readEdacCounts(root);
    ASSERT_TRUE(counts);
    ASSERT_EQ(counts->controllers.size(), 3u);
    EXPECT_EQ(counts->controllers[0].name, "mc0");
    EXPECT_EQ(counts->controllers[0].counters.corrected, 3);
    EXPECT_EQ(counts->controllers[1].name, "mc2");
    EXPECT_EQ(counts->controllers[2].name, "mc10");
    EXPECT_FALSE(counts->controllers[2].counters.corrected);  // refused, so missing
    ASSERT_EQ(counts->dimms.size(), 4u);
    EXPECT_EQ(counts->dimms[0].name, "dimm0");
    EXPECT_EQ(counts->dimms[0].label, "CPU_SrcID#0_Ha#0_Chan#0_DIMM#0");
    EXPECT_EQ(counts->dimms[1].name, "dimm2");
    EXPECT_FALSE(counts->dimms[1].label);
    EXPECT_EQ(counts->dimms[2].name, "dimm10");
    EXPECT_FALSE(counts->dimms[2].label);
    EXPECT_FALSE(counts->dimms[2].counters.uncorrected);
    EXPECT_EQ(counts->dimms[3].controller, "mc10");
    EXPECT_EQ(counts->dimms[3].name, "rank1");
    EXPECT_EQ(counts->dimms[3].counters.corrected, 5);
}

TEST(EdacChange, ARiseOfEitherCountIsAFindingPerModuleWithItsLabel) {
    platform::EdacCounts before;
    before.controllers = {{"mc0", {10, 0}}};
    before.dimms = {{"mc0", "dimm0", "A1", {4, 0}}, {"mc0", "dimm1", std::nullopt, {6, 0}}};
    platform::EdacCounts after = before;
    EXPECT_FALSE(platform::edacChange(before, after).rose());

    after.controllers[0].counters.corrected = 12;
    after.dimms[1].counters.corrected = 8;
    after.dimms.push_back({"mc0", "dimm2", "A3", {1, 1}});  // not there before: no rise known
    const platform::EdacChange change = platform::edacChange(before, after);
    EXPECT_TRUE(change.rose());
    ASSERT_EQ(change.dimms.size(), 3u);
    EXPECT_EQ(change.controllers[0].corrected, 2);
    EXPECT_EQ(change.dimms[0].corrected, 0);
    EXPECT_EQ(change.dimms[0].label, "A1");
    EXPECT_EQ(change.dimms[1].dimm, "dimm1");
    EXPECT_EQ(change.dimms[1].corrected, 2);
    EXPECT_EQ(change.dimms[2].corrected, 0);

    platform::EdacCounts uncorrected = before;
    uncorrected.dimms[0].counters.uncorrected = 1;
    EXPECT_TRUE(platform::edacChange(before, uncorrected).rose());
}

}  // namespace
