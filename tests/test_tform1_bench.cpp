// SPDX-License-Identifier: GPL-3.0-or-later
// Button1Click on an offscreen window with fake kernels: what the page shows at each step.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMetaObject>
#include <memory>

#include "app/tform1.h"
#include "bench/benchmark_run.h"
#include "fake_benchmark_rows.h"
#include "qt_test_app.h"

namespace {

class BenchmarkPage : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        fake::resetScript();  // the example run
        form = std::make_unique<TForm1>();
    }

    QString label(int row) const {
        const auto name = QString::fromUtf8(QByteArrayView(rows[row - 1].resultLabel));
        return qobject_cast<QLabel*>(form->control(name))->text();
    }

    const std::array<bench::KernelRow, fake::kRows> rows = fake::rows();
    const bench::ScopedBenchmarkRows replaced{rows};
    std::unique_ptr<TForm1> form;
};

}  // namespace

TEST_F(BenchmarkPage, ARunFillsEveryRowTheGroupsAndTheCpuScore) {
    fake::script.returns[15] = 19'200'000;  // the widest caption a row can get
    form->Button1->click();
    for (int row = 1; row <= 7; ++row) EXPECT_EQ(label(row), "8000 Mark") << row;
    for (int row = 8; row <= 14; ++row) EXPECT_EQ(label(row), "4000 Mark") << row;
    for (int row = 16; row <= 29; ++row) EXPECT_EQ(label(row), "100 Mln. instr/s") << row;
    EXPECT_EQ(form->GroupBox5->title(), "ALU GROUP      score: 8000");
    EXPECT_EQ(form->GroupBox6->title(), "FPU GROUP      score: 4000");
    EXPECT_EQ(form->GroupBox7->title(), "INSTR. GROUP      score: 512");
    EXPECT_EQ(form->Panel14->caption(), "Your CPU score: 4677 Mark!");
    for (const char* name : {"Label28", "Label56"}) {
        auto* label = qobject_cast<QLabel*>(form->control(name));
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << name;
    }
}

TEST_F(BenchmarkPage, EachRunPausesTheClockRefreshAndResetsThePageFirst) {
    int checked = 0;
    fake::script.onCall = [&](int row) {
        if (row != 1) return;
        ++checked;
        EXPECT_FALSE(form->Timer1->isActive());
        EXPECT_EQ(form->Panel15->caption(), "OFF");
        for (int r = 1; r <= 29; ++r) EXPECT_EQ(label(r), "0") << r;
        EXPECT_EQ(form->GroupBox5->title(), "ALU GROUP");
        EXPECT_EQ(form->GroupBox6->title(), "FPU GROUP");
        EXPECT_EQ(form->GroupBox7->title(), "INSTR. GROUP");
        EXPECT_EQ(form->Panel14->caption(), "Benchmarking...");
    };
    form->Button1->click();
    ASSERT_EQ(form->Panel14->caption(), "Your CPU score: 4677 Mark!");
    form->Button1->click();
    EXPECT_EQ(checked, 2);
    EXPECT_EQ(form->Panel14->caption(), "Your CPU score: 4677 Mark!");
}

TEST_F(BenchmarkPage, AFailingSseBlockKeepsItsRowsAtZeroAndTheRunEndsNormally) {
    form->Panel15Click();  // the refresh was switched off before the run
    ASSERT_FALSE(form->Timer1->isActive());
    fake::script.faults[27] = true;
    form->Button1->click();
    EXPECT_EQ(label(26), "100 Mln. instr/s");
    for (int row = 27; row <= 29; ++row) EXPECT_EQ(label(row), "0") << row;
    // Ten rows of 100 divided by 13: 76, x 5.11945 = 389.08.
    EXPECT_EQ(form->GroupBox7->title(), "INSTR. GROUP      score: 389");
    EXPECT_EQ(form->Panel14->caption(),
              "Your CPU score: " + QString::number(bench::cpuScore(8000, 4000, 389)) + " Mark!");
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Panel15->caption(), "ON");
}

TEST_F(BenchmarkPage, AClickOnRunDuringARunIsIgnored) {
    QMetaObject::invokeMethod(form->Button1, "click", Qt::QueuedConnection);
    form->Button1->click();
    EXPECT_EQ(fake::script.calls[1], 1);
    EXPECT_EQ(fake::script.calls[29], 1);
    form->Button1->click();  // once the run is over, RUN works again
    EXPECT_EQ(fake::script.calls[1], 2);
}
