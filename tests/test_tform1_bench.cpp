// SPDX-License-Identifier: GPL-3.0-or-later
// Button1Click on an offscreen window with fake kernels: what the page shows, in the order it
// shows it, and how other jobs meet the run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>

#include "app/tform1.h"
#include "bench/benchmark_run.h"
#include "fake_benchmark_rows.h"
#include "membench/memory_speed.h"
#include "report/collect.h"
#include "report/compare.h"
#include "report/report.h"
#include "sysinfo/identification.h"
#include "window_jobs.h"

namespace {

// Closes each error display once it is up, noting what it said.
struct ErrorDisplays {
    ErrorDisplays() {
        QObject::connect(&closer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->text();
                box->close();
            }
        });
        closer.start(10);
    }
    QStringList shown;
    QTimer closer;
};

class BenchmarkPage : public WindowTest {
  protected:
    void SetUp() override {
        fake::resetScript();  // the example run
        WindowTest::SetUp();
        rebuildWithRows({});
    }

    // A new window measuring with `inputs` and running the fake rows.
    void rebuildWithRows(WindowInputs inputs) {
        inputs.benchmarkRows = rows;
        rebuild(std::move(inputs));
    }

    QString label(int row) const { return form->resultLabel(row)->text(); }

    // RUN, and the run to its end.
    void run() {
        form->Button1->click();
        ASSERT_TRUE(finishJobs(*form));
    }

    const std::array<bench::KernelRow, fake::kRows> rows = fake::rows();
};

}  // namespace

// A second run as the window shows it: the clock refresh paused and the page reset before
// the first row's result, each row's result in turn, each group's score as soon as its last
// row is shown, the CPU score, and the refresh back on last.
TEST_F(BenchmarkPage, EachRunShowsItsCaptionsInOrder) {
    run();
    ASSERT_EQ(form->Panel14->caption(), "Your CPU score: 4677 Mark!");
    CaptionLog log(*form);
    run();
    const std::size_t firstRow = log.at("Label28=8000 Mark");
    ASSERT_LT(firstRow, log.changes().size());
    for (const std::string reset :
         {"Timer1 off", "Panel15=OFF", "Label28=0", "Label40=0", "Label91=0", "Label70=0",
          "GroupBox5=ALU GROUP", "GroupBox6=FPU GROUP", "GroupBox7=INSTR. GROUP",
          "Panel14=Benchmarking..."})
        EXPECT_LT(log.at(reset), firstRow) << reset;

    std::vector<std::string> results;  // the rows' results and the scores, as they came
    for (const std::string& change : log.changes())
        if (change.find("Mark") != std::string::npos ||
            change.find("instr/s") != std::string::npos ||
            change.find("score") != std::string::npos)
            results.push_back(change);
    std::vector<std::string> expected;
    for (int row = 1; row <= 29; ++row) {
        expected.push_back(form->resultLabel(row)->objectName().toStdString() + "=" +
                           (row <= 14 ? row <= 7 ? "8000 Mark" : "4000 Mark" : "100 Mln. instr/s"));
        if (row == 7) expected.push_back("GroupBox5=ALU GROUP      score: 8000");
        if (row == 14) expected.push_back("GroupBox6=FPU GROUP      score: 4000");
    }
    expected.push_back("GroupBox7=INSTR. GROUP      score: 512");
    expected.push_back("Panel14=Your CPU score: 4677 Mark!");
    EXPECT_EQ(results, expected);
    EXPECT_GT(log.at("Panel15=ON"), log.at("Panel14=Your CPU score: 4677 Mark!"));
    EXPECT_GT(log.at("Timer1 on"), log.at("Panel14=Your CPU score: 4677 Mark!"));
}

TEST_F(BenchmarkPage, AFailingSseBlockKeepsItsRowsAtZeroAndTheRunEndsNormally) {
    form->Panel15Click();  // the refresh was switched off before the run
    ASSERT_FALSE(form->Timer1->isActive());
    fake::script.faults[27] = true;
    run();
    EXPECT_EQ(label(26), "100 Mln. instr/s");
    for (int row = 27; row <= 29; ++row) EXPECT_EQ(label(row), "0") << row;
    // Ten rows of 100 divided by 13: 76, x 5.11945 = 389.08.
    EXPECT_EQ(form->GroupBox7->title(), "INSTR. GROUP      score: 389");
    // 8000 x 0.3 + 4000 x 0.55 + 389 x 0.15 = 4658.35.
    EXPECT_EQ(form->Panel14->caption(), "Your CPU score: 4658 Mark!");
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Panel15->caption(), "ON");
}

// A row whose work came out wrong keeps its figure; the run ends normally, and the general
// error display then names the row, once.
TEST_F(BenchmarkPage, AWrongResultIsShownOnceAfterTheRun) {
    fake::script.wrong[3] = true;
    ErrorDisplays displays;
    const QStringList& shown = displays.shown;
    run();
    ASSERT_TRUE(processUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown,
              QStringList{"Formula Ferma: wrong result; the processor made an error under load"});
    EXPECT_EQ(label(3), "8000 Mark");
    EXPECT_EQ(form->Panel14->caption(), "Your CPU score: 4677 Mark!");
    EXPECT_EQ(form->Panel15->caption(), "ON");
}

// The window and corvane-report word a run's figures through one module: the same rows give
// the same texts in the window's labels and in the report's JSON and text. Each label is
// wide enough for the widest caption its row can get.
TEST_F(BenchmarkPage, TheReportWordsEveryFigureAsTheWindowShowsIt) {
    fake::script.returns[2] = 7;            // 1714285 Mark
    fake::script.returns[20] = 19'200'000;  // a rate as wide as they come
    run();
    report::Report r;
    r.bench = report::runCpuBenchmark(rows, [](const std::string&) {});
    const nlohmann::json json = r;
    for (int row = 1; row <= 29; ++row) {
        EXPECT_EQ(json["bench"]["rows"][row - 1]["text"], label(row).toStdString()) << row;
        const QLabel* shown = form->resultLabel(row);
        EXPECT_GE(shown->width(), shown->fontMetrics().horizontalAdvance(shown->text())) << row;
    }
    EXPECT_EQ(json["bench"]["cpu_text"], form->Panel14->caption().toStdString());
    const std::string text = report::renderText(r);
    for (const QGroupBox* box : {form->GroupBox5, form->GroupBox6, form->GroupBox7})
        EXPECT_NE(text.find(box->title().toStdString() + "\n"), std::string::npos)
            << box->title().toStdString();
    EXPECT_NE(text.find("Calcul factorial......... 1714285 Mark\n"), std::string::npos) << text;
}

namespace {

// A row 3 of another kind: twice as quick as the example's, and leaving 4 where its new
// check wants 5.
bench::KernelOutcome changedKernel(const bench::KernelContext&) {
    return {750, {{4}}};
}
bench::Golden changedGolden() {
    return bench::exactly({5});
}

}  // namespace

// A row is its entry in the table: changing row 3's kernel and check there, and nowhere else,
// changes what the window shows, what every format of corvane-report gives, and what its
// comparison with a run of the unchanged table says.
TEST_F(BenchmarkPage, OneEntryOfTheTableReachesTheWindowEveryFormatAndTheComparison) {
    report::Report before;
    before.bench = report::runCpuBenchmark(rows, [](const std::string&) {});
    auto changed = rows;
    changed[2].kernel = changedKernel;
    changed[2].golden = changedGolden;
    WindowInputs inputs;
    inputs.benchmarkRows = changed;
    rebuild(std::move(inputs));
    ErrorDisplays displays;  // the one the wrong row brings up
    const QStringList& shown = displays.shown;
    run();
    ASSERT_TRUE(processUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown,
              QStringList{"Formula Ferma: wrong result; the processor made an error under load"});
    // 12,000,000 / 750 ms; the window shows the figure of a wrong row as it came.
    EXPECT_EQ(label(3).toStdString(), "16000 Mark");
    EXPECT_EQ(form->GroupBox5->title().toStdString(), "ALU GROUP      score: 9142");

    report::Report after;
    after.bench = report::runCpuBenchmark(changed, [](const std::string&) {});
    const nlohmann::json json = after;
    const nlohmann::json& row = json["bench"]["rows"][2];
    EXPECT_EQ(row["text"], "16000 Mark");
    EXPECT_EQ(row["valid"], false);
    EXPECT_EQ(row["wrong"]["expected"], 5);
    EXPECT_EQ(row["wrong"]["got"], 4);
    EXPECT_NE(report::renderText(after).find("16000 Mark"), std::string::npos);
    EXPECT_NE(
        report::renderOpenMetrics(after).find("corvane_bench_row_valid{row=\"3\",group=\"ALU\""),
        std::string::npos);
    const report::Comparison comparison = report::compareResults(before, after, "before.json");
    const auto line = std::find_if(comparison.lines.begin(), comparison.lines.end(),
                                   [](const auto& l) { return l.kind == "row" && l.key == "3"; });
    ASSERT_NE(line, comparison.lines.end());
    EXPECT_EQ(line->saved, 8000);
    EXPECT_EQ(line->now, 16'000);
}

TEST_F(BenchmarkPage, AClickOnRunDuringARunIsIgnored) {
    fake::script.onCall = [this](int row) {
        if (row == 2) onWindowThread(form.get(), [this] { form->Button1->click(); });
    };
    form->Button1->click();
    form->Button1->click();  // queued behind nothing: the first run has not even started
    ASSERT_TRUE(finishJobs(*form));
    EXPECT_EQ(fake::script.calls[1], 1);
    EXPECT_EQ(fake::script.calls[29], 1);
    run();  // once the run is over, RUN works again
    EXPECT_EQ(fake::script.calls[1], 2);
}

// What the window takes in while a run goes on, the memory benchmark's RUN and a tick of the
// clock refresh, runs at the run's next event point, between two rows, to its end, on the
// same thread: never beside a kernel. The tick, queued behind the memory benchmark, runs at
// that job's first event point, and measures nothing: the runs paused the refresh.
TEST_F(BenchmarkPage, OtherJobsRunBetweenTwoRowsNeverBesideThem) {
    WindowInputs inputs;
    inputs.ramWorkload = {.writePasses = 1, .readPasses = 1, .readBlockBytes = 1 << 16};
    inputs.identification.measureClock = [this] {
        jobs->note("clock");
        return std::optional(1'500'500'000u);  // 3001 MHz
    };
    rebuildWithRows(std::move(inputs));
    fake::script.onCall = [this](int row) {
        jobs->note("row " + std::to_string(row));
        if (row == 3) {
            onWindowThread(form.get(), [this] {
                form->Button3->click();
                form->Timer1Timer();
            });
        }
    };
    run();
    const std::vector<std::string> log = jobs->log();
    const auto at = [&](const std::string& entry) {
        return std::find(log.begin(), log.end(), entry) - log.begin();
    };
    ASSERT_LT(at("job 2 starts"), static_cast<std::ptrdiff_t>(log.size()));
    EXPECT_EQ(at("job 2 starts"), at("row 3") + 1);  // the memory benchmark, after row 3
    EXPECT_EQ(at("job 3 starts"), at("job 2 starts") + 1);
    EXPECT_EQ(at("job 3 ends"), at("job 3 starts") + 1);
    EXPECT_EQ(at("clock"), static_cast<std::ptrdiff_t>(log.size()));
    EXPECT_EQ(at("job 2 ends"), at("job 3 ends") + 1);
    EXPECT_EQ(at("row 4"), at("job 2 ends") + 1);  // then the run goes on
    EXPECT_EQ(log.back(), "job 1 ends");
    EXPECT_EQ(jobs->threadsSeen(), 1u);
    EXPECT_NE(form->Label73->text(), "0");
    // The memory benchmark resumed the refresh between rows 3 and 4; the run resumes it
    // again at its end.
    EXPECT_EQ(form->Panel15->caption(), "ON");
    EXPECT_EQ(form->Panel14->caption(), "Your CPU score: 4677 Mark!");
}
