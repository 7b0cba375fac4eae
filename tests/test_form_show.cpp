// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QEvent>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>
#include <vector>

#include "app/tform1.h"
#include "app/tform2.h"
#include "present/words.h"
#include "qt_test_app.h"
#include "sysinfo/identification.h"
#include "window_jobs.h"

namespace {

// Notes that the splash picture was painted.
struct PaintRecorder : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
    bool painted = false;
};

class FormShowOrder : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        splash = std::make_unique<TForm2>();
        splash->Image1->installEventFilter(&recorder);
    }

    // The window whose identification runs `steps`.
    void makeForm(sysinfo::IdentificationSteps steps) {
        WindowInputs inputs;
        inputs.identification = std::move(steps);
        form = std::make_unique<TForm1>(std::move(inputs));
    }

    void note(const std::string& step) {
        std::lock_guard lock(mutex);
        log.push_back(step);
    }

    sysinfo::IdentificationSteps recordingSteps(std::optional<sysinfo::RegistryFigures> registry,
                                                std::vector<bool> probes,
                                                sysinfo::CacheSweepRates rates) {
        return {[=, this] {
                    note("registry");
                    registryMayRun.try_acquire_for(std::chrono::seconds(10));
                    return registry;
                },
                [=, this](const sysinfo::InstructionProbe& probe) {
                    note("probe " + std::string(present::extensionName(probe.extension)));
                    return bool(probes.at(probesRun++));
                },
                [=, this] {
                    note("sweeps");
                    // Only a clock measured beside the sweeps has begun by now.
                    clockBesideSweeps = clockStarted.try_acquire_for(std::chrono::seconds(10));
                    return rates;
                },
                [this] {
                    note("clock");
                    clockStarted.release();
                    return std::optional<std::uint32_t>(1'496'123'456);  // 2992.246912 MHz
                }};
    }

    std::mutex mutex;
    std::vector<std::string> log;
    std::binary_semaphore registryMayRun{0}, clockStarted{0};
    std::atomic<bool> clockBesideSweeps = false;
    PaintRecorder recorder;
    std::size_t probesRun = 0;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> splash;
};

const sysinfo::CacheSweepRates kExampleRates{9000, 9000, 9000, 5000, 5000, 5000,
                                             5000, 2000, 2000, 2000, 2000, 2000};

}  // namespace

// Showing the main window starts the identification: the splash is up and painted, the main
// window placed but hidden, while the steps run; the clock is measured beside the sweeps.
// Then the splash goes and the window appears with its panels filled.
TEST_F(FormShowOrder, SplashCoversTheIdentificationAndTheWindowAppearsFilled) {
    makeForm(recordingSteps(
        sysinfo::RegistryFigures{3200, "Test CPU", "Intel64 Family 6 Model 158 Stepping 10",
                                 "GenuineIntel"},
        {true, false, true, true, true}, kExampleRates));
    form->show();
    EXPECT_TRUE(splash->isVisible());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->pos(), QPoint(300, 100));
    EXPECT_TRUE(processUntil([&] { return recorder.painted; }));  // while the steps wait
    EXPECT_FALSE(form->isVisible());
    registryMayRun.release();
    ASSERT_TRUE(processUntil([&] { return form->isVisible(); }));

    EXPECT_FALSE(splash->isVisible());
    EXPECT_TRUE(clockBesideSweeps);
    std::vector<std::string> inOrder = log;
    inOrder.erase(std::find(inOrder.begin(), inOrder.end(), "clock"));
    const std::vector<std::string> expected = {
        "registry", "probe MMX", "probe 3DNow", "probe SSE", "probe SSE2", "probe SSE3", "sweeps"};
    EXPECT_EQ(inOrder, expected);
    EXPECT_EQ(form->Panel1->caption(), "3200 Mhz Test CPU");
    EXPECT_EQ(form->Panel2->caption(), "Intel64 Family 6 Model 158 Stepping 10");
    EXPECT_EQ(form->Panel3->caption(), "GenuineIntel");
    EXPECT_EQ(form->Panel4->caption(), "x86, MMX, SSE, SSE2, SSE3");
    EXPECT_EQ(form->Panel5->caption(), "512 Kbyte");
    EXPECT_EQ(form->Panel6->caption(), "2992.24");
}

// Showing the window runs the identification once; failed steps keep the dashes. Maximising
// leaves the fixed size.
TEST_F(FormShowOrder, ShowingTheWindowRunsItOnceAndFailuresKeepTheDashes) {
    sysinfo::CacheSweepRates flat{};
    flat.fill(7000);
    makeForm(recordingSteps(std::nullopt, {false, false, false, false, false}, flat));
    registryMayRun.release();
    form->showMaximized();
    form->show();
    ASSERT_TRUE(processUntil([&] { return form->isVisible(); }));
    form->show();
    ASSERT_TRUE(finishJobs(*form));
    EXPECT_EQ(std::count(log.begin(), log.end(), "clock"), 1);
    EXPECT_EQ(form->size(), QSize(393, 490));
    form->resize(800, 600);
    EXPECT_EQ(form->size(), QSize(393, 490));
    for (widgets::Panel* panel : {form->Panel1, form->Panel2, form->Panel3, form->Panel5})
        EXPECT_EQ(panel->caption(), "-");
    EXPECT_EQ(form->Panel4->caption(), "x86");
    EXPECT_FALSE(splash->isVisible());
}
