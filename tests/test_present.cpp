// SPDX-License-Identifier: GPL-3.0-or-later
// How figures become words: the edges of each of the window's texts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

#include "fake_benchmark_rows.h"
#include "present/captions.h"
#include "present/words.h"

// The plain texts ("8000 Mark", "4200 Mb/sec", "512 Kbyte", ...) are checked where the
// window and the report show them; here are the edges.
TEST(Words, TheEdgesOfEachFigure) {
    EXPECT_EQ(present::cpuNameText(0, ""), "0 Mhz ");  // the blank after "Mhz" stays
    EXPECT_EQ(present::kbyteText(2560), "2 Kbyte");    // 2.5: halves go to the even neighbour
    EXPECT_EQ(present::kbyteText(3584), "4 Kbyte");    // 3.5
    EXPECT_EQ(present::kbyteText(536'281'088), "523712 Kbyte");
    EXPECT_EQ(present::kbyteText(std::int64_t{24} << 30), "25165824 Kbyte");  // beyond 32 bits
    EXPECT_EQ(present::freeMbText(1'572'863), "1 Mb");  // truncated, not rounded
    EXPECT_EQ(present::countText(3'000'000'000), "3000000000");
}

// Cut, not rounded, to seven characters; a count above 32 bits (9000 MHz over 0.5 s is
// 4.5e9 cycles) has wrapped before it arrives.
TEST(ClockText, IsTheQuotientCutToSevenCharacters) {
    for (const auto& [cycles, text] : {std::pair{1'496'123'456u, "2992.24"},  // 2992.246912
                                       {400'123'456u, "800.246"},             // 800.246912
                                       {1'500'000'000u, "3000"},
                                       {1'499'999'999u, "2999.99"},  // 2999.999998
                                       {static_cast<std::uint32_t>(4'500'000'000ull), "410.065"},
                                       {0xFFFFFFFFu, "8589.93"}})
        EXPECT_EQ(present::clockText(cycles), text) << cycles;
}

// The separator is the C locale's, as QApplication sets it from the environment. A locale
// with a comma is made at test time, so the test needs no locale generated on the machine.
TEST(ClockText, UsesTheUsersDecimalSeparator) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("corvane-locale-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "comma.src") << "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
                                        "LC_NUMERIC\ndecimal_point \"<U002C>\"\n"
                                        "thousands_sep \"\"\ngrouping -1\nEND LC_NUMERIC\n";
    // localedef warns about the categories left out and says so in its status; the files
    // it writes are what counts.
    const std::string make = "localedef -c -f UTF-8 -i " + (dir / "comma.src").string() + " " +
                             (dir / "de_DE.UTF-8").string() + " >/dev/null 2>&1";
    (void)std::system(make.c_str());
    setenv("LOCPATH", dir.c_str(), 1);

    const std::uint32_t cycles = 1'222'890'000;  // 2445.78 MHz
    ASSERT_TRUE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"));
    EXPECT_EQ(present::clockText(cycles), "2445,78");
    ASSERT_TRUE(std::setlocale(LC_NUMERIC, "C"));
    EXPECT_EQ(present::clockText(cycles), "2445.78");
    unsetenv("LOCPATH");
    std::filesystem::remove_all(dir);
}

TEST(BenchmarkWords, TheWrongRowsEachOnALine) {
    const auto rows = fake::rows();
    bench::RunResult result;
    for (std::size_t i = 0; i < rows.size(); ++i)
        result.rows.push_back(bench::RowResult{.place = bench::placeOf(rows, i)});
    result.rows[5].reset();  // did not complete
    EXPECT_EQ(present::wrongResultsMessage(result), "");
    result.rows[2]->wrong = result.rows[26]->wrong = bench::Mismatch{};
    EXPECT_EQ(present::wrongResultsMessage(result),
              "Formula Ferma: wrong result; the processor made an error under load\n"
              "SSE Sub: wrong result; the processor made an error under load");
    EXPECT_EQ(present::mismatchSlot({.kind = bench::Mismatch::Kind::Value, .slot = 4}), "value 4");
}

// The table's order gives every row the design's caption.
TEST(Captions, RowsAreNamedInTheDesignsOrderAndWithoutTheirDots) {
    const char* const design[] = {
        "Fibonachi digit's........", "Calcul factorial.........",  "Formula Ferma.........",
        "Brute force.............",  "Addition matrix........",    "Multiplication matrix...",
        "Quick sort..............",  "Hyperbolic cosecant...",     "Hyperbolic tangent....",
        "Hypotenuse............",    "Digit Pi..................", "Factorial................",
        "3D objects..............",  "Precatching............",    "Addition...........",
        "Substraction......",        "Multiplication......",       "Division............",
        "FPU Add..........",         "FPU Sub..........",          "FPU Mul...........",
        "FPU Div...........",        "MMX Add..........",          "MMX Sub..........",
        "MMX Mul...........",        "SSE Add..........",          "SSE Sub..........",
        "SSE Mul...........",        "SSE Div..........."};
    for (int row = 1; row <= 29; ++row) EXPECT_EQ(present::rowCaption(row), design[row - 1]);
    EXPECT_EQ(present::plainCaption(present::rowCaption(1)), "Fibonachi digit's");
    EXPECT_THROW(present::rowCaption(30), std::out_of_range);
    EXPECT_THROW(present::rowCaption("fibonacci"), std::out_of_range);
    EXPECT_EQ(present::windowTitle().substr(present::versionCaption().size(), 7), "      ~");
}
