#include <gtest/gtest.h>

#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "app/tform1.h"
#include "membench/memory_speed.h"
#include "platform/memory_status.h"
#include "platform/ticks.h"
#include "qt_test_app.h"

using platform::MemoryStatus;

namespace {

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t MiB = 1024 * KiB;

const QRgb kMarker = qRgb(230, 254, 0);
const QRgb kCurve = qRgb(90, 235, 0);

MemoryStatus desktopReport() {
    MemoryStatus report;
    report.totalVirtual = std::int64_t{1} << 47;
    report.availVirtual = (std::int64_t{1} << 47) - 312456 * KiB;
    report.totalPageFile = (16303940 + 8388604) * KiB;
    report.availPageFile = (9876544 + 8123004) * KiB;
    report.totalPhys = 16303940 * KiB;
    report.availPhys = 9876544 * KiB;
    return report;
}

MemoryStatus reportAtLoad(int percent) {
    MemoryStatus report = desktopReport();
    report.totalPhys = 100 * MiB;
    report.availPhys = (100 - percent) * MiB;
    return report;
}

// Tick readings handed out in order; the last one repeats.
std::vector<std::uint32_t> scriptedTicks;
std::size_t nextTick = 0;
std::uint32_t scriptedTickCount() {
    const std::uint32_t value = scriptedTicks.at(std::min(nextTick, scriptedTicks.size() - 1));
    ++nextTick;
    return value;
}

struct ScriptedClock {
    explicit ScriptedClock(std::vector<std::uint32_t> readings) : scoped(&scriptedTickCount) {
        scriptedTicks = std::move(readings);
        nextTick = 0;
    }
    platform::ScopedTickSource scoped;
};

bool fitsItsText(QLabel* label) {
    return label->width() >= label->fontMetrics().horizontalAdvance(label->text());
}

class RamPages : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        form = std::make_unique<TForm1>();
    }
    std::unique_ptr<TForm1> form;
};

// A short run: the window's handler in milliseconds, with the formulas of the full one.
const membench::Workload kShortRun{.writePasses = 1, .readPasses = 1, .readBlockBytes = 1 << 16};

}  // namespace

TEST_F(RamPages, TickWritesTheSixFiguresAndTheOverlayLabels) {
    const platform::ScopedMemoryStatusSource source([] { return std::optional(desktopReport()); });
    form->Timer2Timer();
    EXPECT_EQ(form->Panel7->caption(), "137438953472 Kbyte");
    EXPECT_EQ(form->Panel8->caption(), "137438641016 Kbyte");
    EXPECT_EQ(form->Panel9->caption(), "24692544 Kbyte");
    EXPECT_EQ(form->Panel10->caption(), "6692996 Kbyte");
    EXPECT_EQ(form->Panel11->caption(), "16303940 Kbyte");
    EXPECT_EQ(form->Panel12->caption(), "6427396 Kbyte");
    EXPECT_EQ(form->Label26->text(), "9645 Mb");
    EXPECT_EQ(form->Label27->text(), "39%");
    EXPECT_TRUE(fitsItsText(form->Label26));
    EXPECT_TRUE(fitsItsText(form->Label27));
}

TEST_F(RamPages, PictureStaysEmptyUntilTheFirstTickThenShowsTheChart) {
    EXPECT_TRUE(form->Image1->image().isNull());
    EXPECT_EQ(form->Panel7->caption(), "-");
    const platform::ScopedMemoryStatusSource source([] { return std::optional(reportAtLoad(40)); });
    form->Timer2Timer();
    const QImage& chart = form->Image1->image();
    ASSERT_EQ(chart.size(), QSize(121, 100));
    EXPECT_EQ(chart.pixel(0, 80), kMarker);
    EXPECT_EQ(chart.pixel(1, 80), kMarker);
    EXPECT_EQ(chart.pixel(0, 30), kCurve);  // the first segment down column 0
    EXPECT_EQ(chart.pixel(5, 55), qRgb(35, 0, 0));
    EXPECT_EQ(chart.pixel(5, 15), qRgb(0, 0, 0));
}

TEST_F(RamPages, UnreadableReportShowsDashesAndKeepsThePicture) {
    std::optional<MemoryStatus> report = reportAtLoad(40);
    const platform::ScopedMemoryStatusSource source([&] { return report; });
    form->Timer2Timer();
    const QImage before = form->Image1->image();
    report.reset();
    form->Timer2Timer();
    for (platform::Panel* panel :
         {form->Panel7, form->Panel8, form->Panel9, form->Panel10, form->Panel11, form->Panel12}) {
        EXPECT_EQ(panel->caption(), "-") << panel->objectName().toStdString();
    }
    EXPECT_EQ(form->Label26->text(), "-");
    EXPECT_EQ(form->Label27->text(), "-");
    EXPECT_EQ(form->Image1->image(), before);
}

TEST_F(RamPages, HidingAndShowingThePageKeepsTheHistoryPosition) {
    const platform::ScopedMemoryStatusSource source([] { return std::optional(reportAtLoad(50)); });
    form->PageControl1->setCurrentIndex(1);
    ASSERT_TRUE(form->Timer2->isActive());
    for (int i = 0; i < 3; ++i) form->Timer2Timer();
    form->PageControl1->setCurrentIndex(0);
    form->PageControl1->setCurrentIndex(2);
    EXPECT_FALSE(form->Timer2->isActive());
    form->PageControl1->setCurrentIndex(1);
    form->Timer2Timer();
    // The fourth sample went into slot 3: the marker covers columns 3 and 4.
    const QImage& chart = form->Image1->image();
    EXPECT_NE(chart.pixel(2, 80), kMarker);
    EXPECT_EQ(chart.pixel(3, 80), kMarker);
    EXPECT_EQ(chart.pixel(4, 80), kMarker);
    EXPECT_NE(chart.pixel(5, 80), kMarker);
}

TEST_F(RamPages, BenchmarkShowsBothSpeedsAndResumesTheClockRefresh) {
    const membench::ScopedWorkload shortRun(kShortRun);
    // Write from 100 to 4100, read from 5000 to 6000.
    const ScriptedClock clock({100, 4100, 5000, 6000});
    form->Panel15Click();  // the user had switched the refresh off
    ASSERT_EQ(form->Panel15->caption(), "OFF");

    QString duringWrite73, duringWrite74, panel15During;
    bool timer1During = true;
    QTimer::singleShot(0, form.get(), [&] {  // runs where the handler first processes events
        duringWrite73 = form->Label73->text();
        duringWrite74 = form->Label74->text();
        panel15During = form->Panel15->caption();
        timer1During = form->Timer1->isActive();
    });
    form->Label73->setText("123 Mb/sec");
    form->Button3Click();

    EXPECT_EQ(duringWrite73, "0");
    EXPECT_EQ(duringWrite74, "0");
    EXPECT_EQ(panel15During, "OFF");
    EXPECT_FALSE(timer1During);
    EXPECT_EQ(form->Label73->text(), "4200 Mb/sec");
    EXPECT_EQ(form->Label74->text(), "7992 Mb/sec");
    EXPECT_TRUE(fitsItsText(form->Label73));
    EXPECT_TRUE(fitsItsText(form->Label74));
    EXPECT_EQ(form->Panel15->caption(), "ON");
    EXPECT_TRUE(form->Timer1->isActive());
}

TEST_F(RamPages, ClickingRunStartsTheBenchmark) {
    const membench::ScopedWorkload shortRun(kShortRun);
    const ScriptedClock clock({0, 3333, 3333, 4333});
    form->Button3->click();
    EXPECT_EQ(form->Label73->text(), "5040 Mb/sec");
    EXPECT_EQ(form->Label74->text(), "7992 Mb/sec");
}

TEST_F(RamPages, RefusedReadBlockShowsAReasonAndStillResumes) {
    membench::Workload refused = kShortRun;
    refused.readBlockBytes = std::size_t{1} << 48;  // more than the user address space
    const membench::ScopedWorkload scoped(refused);
    const ScriptedClock clock({0, 4000});
    form->pauseClockRefresh();
    form->Button3Click();
    EXPECT_EQ(form->Label73->text(), "4200 Mb/sec");
    EXPECT_EQ(form->Label74->text(), "Not enough memory");
    EXPECT_TRUE(fitsItsText(form->Label74));
    EXPECT_EQ(form->Panel15->caption(), "ON");
    EXPECT_TRUE(form->Timer1->isActive());
}

TEST_F(RamPages, ZeroMillisecondsShowsAReasonInsteadOfAFigure) {
    const membench::ScopedWorkload shortRun(kShortRun);
    const ScriptedClock clock({7});
    form->Button3Click();
    EXPECT_EQ(form->Label73->text(), "Too fast to time");
    EXPECT_EQ(form->Label74->text(), "Too fast to time");
    EXPECT_EQ(form->Panel15->caption(), "ON");
}
