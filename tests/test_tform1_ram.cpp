// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "app/tform1.h"
#include "membench/memory_speed.h"
#include "memory_reports.h"
#include "platform/ticks.h"
#include "window_jobs.h"

using platform::MemoryStatus;

namespace {

const QRgb kMarker = qRgb(230, 254, 0);

// Tick readings handed out in order; the last one repeats.
struct ScriptedClock {
    static inline std::vector<std::uint32_t> ticks;
    static inline std::size_t next = 0;
    static std::uint32_t read() { return ticks.at(std::min(next++, ticks.size() - 1)); }
    static void script(std::vector<std::uint32_t> readings) {
        ticks = std::move(readings);
        next = 0;
    }
};

bool fitsItsText(QLabel* label) {
    return label->width() >= label->fontMetrics().horizontalAdvance(label->text());
}

// A short run: the window's handler in milliseconds, with the formulas of the full one.
const membench::Workload kShortRun{.writePasses = 1, .readPasses = 1, .readBlockBytes = 1 << 16};

class RamPages : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        rebuildWith(kShortRun);
    }

    // A window whose RAM benchmark runs `workload` on the scripted clock and whose memory
    // status is `report`.
    void rebuildWith(const membench::Workload& workload) {
        WindowInputs inputs;
        inputs.sources.clock.ticks = &ScriptedClock::read;
        inputs.sources.memoryStatusSource = [this] { return report; };
        inputs.ramWorkload = workload;
        rebuild(std::move(inputs));
    }

    // Runs the RAM benchmark over the tick readings; returns the write and read captions.
    std::pair<QString, QString> runBenchmark(std::vector<std::uint32_t> ticks) {
        ScriptedClock::script(std::move(ticks));
        form->Button3->click();
        EXPECT_TRUE(finishJobs(*form));
        return {form->Label73->text(), form->Label74->text()};
    }

    std::optional<MemoryStatus> report;  // what the memory status reads
};

}  // namespace

// An unreadable report shows dashes and neither records a sample nor draws the chart.
TEST_F(RamPages, TicksWriteTheFiguresAndChartAndAnUnreadableReportShowsDashes) {
    form->Timer2Timer();
    EXPECT_EQ(form->Label27->text(), "-");
    EXPECT_TRUE(form->Image1->image().isNull());
    report = reports::desktop();
    form->Timer2Timer();
    const char* expected[] = {"137438953472 Kbyte", "312456 Kbyte",   "24692544 Kbyte",
                              "6692996 Kbyte",      "16303940 Kbyte", "6427396 Kbyte"};
    widgets::Panel* const panels[] = {form->Panel7,  form->Panel8,  form->Panel9,
                                      form->Panel10, form->Panel11, form->Panel12};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(panels[i]->caption(), expected[i]);
    EXPECT_EQ(form->Label26->text(), "9645 Mb");
    EXPECT_EQ(form->Label27->text(), "39%");  // 39.42 %
    for (QLabel* label : {form->Label26, form->Label27}) EXPECT_TRUE(fitsItsText(label));
    const QImage chart = form->Image1->image();
    ASSERT_EQ(chart.size(), QSize(121, 100));
    EXPECT_EQ(chart.pixel(0, 80), kMarker);  // the monitor's chart: its first sample in slot 0

    report.reset();
    form->Timer2Timer();
    for (widgets::Panel* panel : panels) EXPECT_EQ(panel->caption(), "-");
    EXPECT_EQ(form->Label26->text(), "-");
    EXPECT_EQ(form->Label27->text(), "-");
    EXPECT_EQ(form->Image1->image(), chart);
}

TEST_F(RamPages, HidingAndShowingThePageKeepsTheHistoryPosition) {
    report = reports::atLoad(50);
    form->PageControl1->setCurrentIndex(1);
    for (int i = 0; i < 3; ++i) form->Timer2Timer();
    for (int page : {0, 2, 1}) form->PageControl1->setCurrentIndex(page);
    form->Timer2Timer();
    // The fourth sample went into slot 3: the marker covers columns 3 and 4.
    for (int x = 2; x <= 5; ++x)
        EXPECT_EQ(form->Image1->image().pixel(x, 80) == kMarker, x == 3 || x == 4) << x;
}

TEST_F(RamPages, BenchmarkShowsBothSpeedsAndResumesTheClockRefresh) {
    form->Panel15Click();  // the user had switched the refresh off
    std::pair<QString, QString> during;
    bool timer1During = true;
    jobs->atEventPoint = [&](int point) {  // before the write measurement
        if (point != 1) return;
        onWindowThread(form.get(), [&] {
            during = {form->Label73->text(), form->Label74->text()};
            timer1During = form->Timer1->isActive();
        });
    };
    form->Label73->setText("123 Mb/sec");
    // Write from 100 to 4100, read from 5000 to 6000.
    EXPECT_EQ(runBenchmark({100, 4100, 5000, 6000}),
              std::pair(QString("4200 Mb/sec"), QString("7992 Mb/sec")));
    EXPECT_EQ(during, std::pair(QString("0"), QString("0")));
    EXPECT_FALSE(timer1During);
    for (QLabel* label : {form->Label73, form->Label74}) EXPECT_TRUE(fitsItsText(label));
    EXPECT_EQ(form->Panel15->caption(), "ON");
    EXPECT_TRUE(form->Timer1->isActive());
}

// RUN stays enabled during a run: a click at its first event point runs a whole second run
// there, before the first one measures anything, and the first one's figures stand last.
TEST_F(RamPages, RunClickedDuringARunRunsANestedRunToItsEndFirst) {
    jobs->atEventPoint = [&](int point) {
        if (point == 1) onWindowThread(form.get(), [&] { form->Button3->click(); });
    };
    // The nested run writes 100 to 4100 and reads 5000 to 6000, then the outer run writes
    // from 200 to 2200 and reads from 300 to 1300.
    EXPECT_EQ(runBenchmark({100, 4100, 5000, 6000, 200, 2200, 300, 1300}),
              std::pair(QString("8400 Mb/sec"), QString("7992 Mb/sec")));
    const auto log = jobs->log();
    const auto at = [&](const std::string& entry) {
        return std::find(log.begin(), log.end(), entry) - log.begin();
    };
    EXPECT_LT(at("job 2 ends"), at("job 1 ends"));
    EXPECT_EQ(ScriptedClock::next, 8u);  // both runs took their four readings
    EXPECT_EQ(form->Panel15->caption(), "ON");
}

TEST_F(RamPages, RefusedBlockAndZeroMillisecondsShowAReasonAndStillResume) {
    membench::Workload refused = kShortRun;
    refused.readBlockBytes = std::size_t{1} << 48;  // more than the user address space
    rebuildWith(refused);
    form->pauseClockRefresh();
    EXPECT_EQ(runBenchmark({0, 4000}),
              std::pair(QString("4200 Mb/sec"), QString("Not enough memory")));
    EXPECT_TRUE(fitsItsText(form->Label74));
    EXPECT_EQ(form->Panel15->caption(), "ON");
    EXPECT_TRUE(form->Timer1->isActive());

    rebuildWith(kShortRun);
    form->pauseClockRefresh();
    EXPECT_EQ(runBenchmark({7}),
              std::pair(QString("Too fast to time"), QString("Too fast to time")));
    EXPECT_EQ(form->Panel15->caption(), "ON");
}
