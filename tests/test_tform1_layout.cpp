// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <atomic>
#include <thread>
#include <tuple>

#include "app/tform1.h"
#include "bench/kernel_table.h"
#include "present/captions.h"
#include "sysinfo/identification.h"
#include "window_jobs.h"

namespace {

QString captionOf(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* p = qobject_cast<widgets::Panel*>(w)) return p->caption();
    if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return "<no caption>";
}

class MainWindow : public WindowTest {
  protected:
    QWidget* at(const char* name) {
        QWidget* w = form->control(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void expectControl(const char* name, const char* parent, QPoint position, QString caption) {
        QWidget* w = at(name);
        if (!w) return;
        EXPECT_EQ(w->parentWidget()->objectName(), parent) << name;
        EXPECT_EQ(w->pos(), position) << name;
        EXPECT_EQ(captionOf(w), caption) << name;
    }
};

}  // namespace

TEST_F(MainWindow, TabControlsAndTheirCaptions) {
    // The title and the client size: the end-to-end window test and the show case. The
    // upper and lower parts: the page sizes here and the places the end-to-end tests click.
    const QString tabs[2][3] = {
        {"       CPU Info       ", "       RAM Info      ", QString(42, ' ') + "About"},
        {"CPU Benchmark ", " RAM Benchmark  ", "    Diagnostic    "}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(form->PageControl1->tabButton(i)->text(), tabs[0][i]);
        EXPECT_EQ(form->PageControl2->tabButton(i)->text(), tabs[1][i]);
    }
    // Each page's group box fills its page.
    EXPECT_EQ(form->TabSheet1->size(), QSize(385, 137));
    EXPECT_EQ(form->TabSheet4->size(), QSize(385, 289));
}

// One control of each kind per box checks the builders and the parents; the places the
// end-to-end tests click (each RUN and CLOSE) are checked there.
TEST_F(MainWindow, EveryPageStartsAsLaidOut) {
    expectControl("Label1", "GroupBox1", {40, 16}, "CPU Name");
    for (const char* name : {"Panel1", "Panel2", "Panel3", "Panel4", "Panel5", "Panel6"})
        EXPECT_EQ(captionOf(at(name)), "-") << name;
    EXPECT_EQ(at("Panel1")->geometry(), QRect(96, 16, 281, 17));
    expectControl("Panel15", "GroupBox1", {240, 112}, "ON");
    EXPECT_EQ(at("Panel15")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(at("Image2")->geometry(), QRect(2, 2, 92, 30));
    EXPECT_EQ(captionOf(at("GroupBox2")), "Hronology");
    expectControl("Label11", "GroupBox2", {16, 96}, "Phisical memory");
    EXPECT_EQ(at("Image1")->geometry(), QRect(8, 8, 121, 100));
    expectControl("Label26", "Panel13", {16, 8}, "Label26");
    EXPECT_EQ(at("Label26")->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(at("Label1")->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    expectControl("Label71", "GroupBox8", {8, 24}, "Write memory speed:");
    expectControl("Label89", "GroupBox9", {16, 24}, "Pass:");
    expectControl("Button7", "GroupBox9", {256, 112}, "STOP");
    EXPECT_EQ(at("GroupBox10")->geometry(), QRect(0, 136, 385, 153));
    expectControl("Label78", "GroupBox10", {16, 24}, "Size of testing memory:");
    expectControl("Button8", "GroupBox10", {192, 124}, "RUN");
    // The licence line must be readable whole inside the About box.
    QLabel* rights = qobject_cast<QLabel*>(at("Label77"));
    ASSERT_NE(rights, nullptr);
    EXPECT_TRUE(rights->text().endsWith("Free software under the GNU GPL v3 or later."));
    EXPECT_LE(rights->x() + rights->sizeHint().width(), at("GroupBox3")->width());
}

// Each row's result label beside its caption, on the same line and after its end: rows 1 to
// 13 are Label28 to Label40 beside Label13 to Label25, row 14 is Label91 beside Label90, rows
// 15 to 29 are Label56 to Label70 beside Label41 to Label55.
TEST_F(MainWindow, EachBenchmarkRowHasItsCaptionBesideItsResult) {
    for (int row = 1; row <= bench::kRowCount; ++row) {
        const int captionNumber = row <= 13 ? 12 + row : row == 14 ? 90 : 26 + row;
        const int resultNumber = row <= 13 ? 27 + row : row == 14 ? 91 : 41 + row;
        auto* caption = qobject_cast<QLabel*>(at(("Label" + QByteArray::number(captionNumber))));
        QLabel* result = form->resultLabel(row);
        ASSERT_TRUE(caption && result);
        EXPECT_EQ(result->objectName(), "Label" + QString::number(resultNumber));
        EXPECT_EQ(caption->text().toStdString(), present::rowCaption(row));
        EXPECT_EQ(caption->y(), result->y()) << row;
        EXPECT_LE(caption->x() + caption->fontMetrics().horizontalAdvance(caption->text()),
                  result->x())
            << row;
        EXPECT_EQ(result->text(), row == 14 ? "0 " : "0") << row;
    }
    expectControl("Label15", "GroupBox5", {8, 48}, "Formula Ferma.........");
    expectControl("Label55", "GroupBox7", {8, 240}, "SSE Div...........");
    expectControl("Label91", "GroupBox6", {112, 112}, "0 ");
    EXPECT_EQ(at("GroupBox6")->geometry(), QRect(0, 128, 193, 129));
    EXPECT_EQ(at("GroupBox7")->geometry(), QRect(192, 0, 193, 257));
    EXPECT_EQ(captionOf(at("Panel14")), "");
    EXPECT_EQ(at("Panel14")->geometry(), QRect(0, 261, 257, 25));
}

TEST_F(MainWindow, PagesSwitchTheTwoTimers) {
    EXPECT_EQ(form->Timer1->interval(), 1000);
    // At start, then on "RAM Info", "About" and "CPU Info": whether Timer1 and Timer2 run.
    for (const auto& [page, timer1, timer2] :
         {std::tuple{0, true, false}, {1, false, true}, {2, false, false}, {0, true, false}}) {
        form->PageControl1->setCurrentIndex(page);
        EXPECT_EQ(form->Timer1->isActive(), timer1) << page;
        EXPECT_EQ(form->Timer2->isActive(), timer2) << page;
    }
    form->PageControl2->setCurrentIndex(2);  // the lower pages leave the timers alone
    EXPECT_TRUE(form->Timer1->isActive());
}

// Every tick measures anew and shows the text; switched off, the ticks stop. The pages
// switch the refresh on again whatever Panel15 says.
TEST_F(MainWindow, ClockTicksShowEachNewMeasurementUntilPanel15SwitchesThemOff) {
    std::atomic<int> measured = 0;
    sysinfo::IdentificationSteps steps;
    // 3000 MHz and one more with every measurement.
    steps.measureClock = [&] { return std::optional(1'500'000'000u + 500'000u * ++measured); };
    rebuildWithSteps(steps);
    form->Timer1->setInterval(0);  // a tick at every pass of the event loop
    ASSERT_TRUE(processUntil([&] { return form->Panel6->caption() == "3002"; }));
    QMouseEvent click(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->Panel15, &click);  // reaches Panel15Click
    EXPECT_EQ(form->Panel15->caption(), "OFF");
    ASSERT_TRUE(finishJobs(*form));
    const int stopped = measured;
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    ASSERT_TRUE(finishJobs(*form));
    EXPECT_EQ(measured, stopped);
    EXPECT_EQ(form->Panel6->caption(), QString::number(3000 + stopped));

    form->PageControl1->setCurrentIndex(1);
    form->PageControl1->setCurrentIndex(0);
    EXPECT_TRUE(form->Timer1->isActive());  // back on while the panel still says OFF
    EXPECT_EQ(form->Panel15->caption(), "OFF");
    form->Panel15Click();  // not "ON": switches on, and the timer stays running
    EXPECT_EQ(form->Panel15->caption(), "ON");
    EXPECT_TRUE(form->Timer1->isActive());
}

// A tick that comes while a measurement waits or runs starts no second one.
TEST_F(MainWindow, ATickDuringAMeasurementStartsNoSecondOne) {
    std::atomic<int> measured = 0;
    std::atomic<bool> release = false;
    sysinfo::IdentificationSteps steps;
    steps.measureClock = [&] {
        while (!release) std::this_thread::yield();
        return std::optional(1'500'000'000u + 500'000u * ++measured);
    };
    rebuildWithSteps(steps);
    for (int tick = 0; tick < 3; ++tick) form->Timer1Timer();
    release = true;
    ASSERT_TRUE(finishJobs(*form));
    EXPECT_EQ(measured, 1);
    EXPECT_EQ(form->Panel6->caption(), "3001");
    form->Timer1Timer();  // the next tick after it measures again
    ASSERT_TRUE(finishJobs(*form));
    EXPECT_EQ(measured, 2);
}

// A tick's measurement that waited behind other work while a run paused the refresh, or the
// user switched it off, measures nothing once its turn comes.
TEST_F(MainWindow, AClockJobQueuedBeforeTheRefreshWentOffMeasuresNothing) {
    std::atomic<int> measured = 0;
    sysinfo::IdentificationSteps steps;
    steps.measureClock = [&] { return std::optional(1'500'000'000u + 500'000u * ++measured); };
    rebuildWithSteps(steps);
    for (const auto switchOff : {&TForm1::Panel15Click, &TForm1::pauseClockRefresh}) {
        std::atomic<bool> release = false;
        jobs->submit([&] {  // work under way that the tick's job waits behind
            while (!release) std::this_thread::yield();
        });
        form->Timer1Timer();
        (form.get()->*switchOff)();
        release = true;
        ASSERT_TRUE(finishJobs(*form));
        EXPECT_EQ(measured, 0);
        form->resumeClockRefresh();
    }
    form->Timer1Timer();  // switched on again, a tick measures
    ASSERT_TRUE(finishJobs(*form));
    EXPECT_EQ(measured, 1);
}

TEST_F(MainWindow, DisabledButtonsLookDisabled) {
    const QPalette& palette = form->Button5->palette();
    EXPECT_EQ(palette.color(QPalette::Active, QPalette::ButtonText), QColor(0, 0, 128));
    EXPECT_NE(palette.color(QPalette::Disabled, QPalette::ButtonText), QColor(0, 0, 128));
}
