// SPDX-License-Identifier: GPL-3.0-or-later
// The real 29 kernels, once, on an offscreen window: every caption has its form. The
// numbers themselves depend on the machine and are not checked, only that the shown scores
// agree with each other.
#include <gtest/gtest.h>

#include <QLabel>
#include <QRegularExpression>
#include <memory>

#include "app/tform1.h"
#include "bench/kernel_table.h"
#include "bench/scoring.h"
#include "platform/x87.h"
#include "qt_test_app.h"
#include "window_jobs.h"

namespace {

// The number that `pattern`'s one capture finds in `text`; fails the test when none does.
qint64 numberIn(const QString& text, const QString& pattern) {
    const QRegularExpression expression("^" + pattern + "$");
    const QRegularExpressionMatch match = expression.match(text);
    EXPECT_TRUE(match.hasMatch()) << text.toStdString() << " does not match "
                                  << pattern.toStdString();
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

}  // namespace

TEST(BenchmarkPageWithRealKernels, EveryCaptionHasItsForm) {
    testApplication();
    // As the program starts: x87 faults unmasked until the first x87 kernel's FINIT. The
    // window's worker thread is made with the window and starts with this setting.
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    auto form = std::make_unique<TForm1>();
    form->Timer1->stop();  // no clock measurement between the rows
    form->Button1->click();
    // 40 s quiet, well over a minute beside other heavy tests; ctest's timeout bounds it.
    ASSERT_TRUE(finishJobs(*form, std::chrono::minutes(10)));

    std::array<std::int32_t, 16> instr{};
    for (std::size_t position = 0; position < bench::kKernelTable.size(); ++position) {
        const bench::RowPlace row = bench::placeOf(bench::kKernelTable, position);
        QLabel* const label = form->resultLabel(row.row);
        if (row.group == bench::Group::Instr) {
            instr[static_cast<std::size_t>(row.index)] =
                static_cast<std::int32_t>(numberIn(label->text(), R"((\d+) Mln\. instr/s)"));
        } else {
            numberIn(label->text(), R"((-?\d+) Mark)");
        }
    }
    const qint64 alu = numberIn(form->GroupBox5->title(), R"(ALU GROUP      score: (-?\d+))");
    const qint64 fpu = numberIn(form->GroupBox6->title(), R"(FPU GROUP      score: (-?\d+))");
    const qint64 instrScore =
        numberIn(form->GroupBox7->title(), R"(INSTR\. GROUP      score: (\d+))");
    const qint64 cpu = numberIn(form->Panel14->caption(), R"(Your CPU score: (-?\d+) Mark!)");

    EXPECT_EQ(instrScore, bench::instrGroupScore(instr));
    EXPECT_EQ(cpu, bench::cpuScore(static_cast<std::int32_t>(alu), static_cast<std::int32_t>(fpu),
                                   static_cast<std::int32_t>(instrScore)));
}
