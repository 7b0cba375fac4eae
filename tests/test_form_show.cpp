// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QEvent>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/tform1.h"
#include "app/tform2.h"
#include "qt_test_app.h"
#include "sysinfo/identification.h"

namespace {

// Records the paints of the splash picture into the shared log, once per run of paints.
struct PaintRecorder : QObject {
    explicit PaintRecorder(std::vector<std::string>& log) : log(log) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && (log.empty() || log.back() != "splash painted"))
            log.push_back("splash painted");
        return false;
    }
    std::vector<std::string>& log;
};

class FormShowOrder : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        form = std::make_unique<TForm1>();
        splash = std::make_unique<TForm2>();
        splash->Image1->installEventFilter(&recorder);
    }

    // Each step notes its name and whether the splash is up and the window placed.
    template <typename T>
    T noted(const std::string& step, T result) {
        const bool placed = form->pos() == QPoint(300, 100);
        log.push_back(step + (splash->isVisible() ? "" : " WITHOUT SPLASH") +
                      (placed ? "" : " UNPLACED"));
        return result;
    }

    sysinfo::IdentificationSteps recordingSteps(std::optional<sysinfo::RegistryTexts> registry,
                                                std::vector<bool> probes,
                                                sysinfo::CacheSweepRates rates) {
        return {[=, this] { return noted("registry", registry); },
                [=, this](const sysinfo::InstructionProbe& probe) {
                    return noted(std::string("probe") + probe.text, bool(probes.at(probesRun++)));
                },
                [=, this] { return noted("sweeps", rates); },
                [this] { return noted("clock", std::string("2992.24")); }};
    }

    std::vector<std::string> log;
    PaintRecorder recorder{log};
    std::size_t probesRun = 0;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> splash;
};

const sysinfo::CacheSweepRates kExampleRates{9000, 9000, 9000, 5000, 5000, 5000,
                                             5000, 2000, 2000, 2000, 2000, 2000};

}  // namespace

TEST_F(FormShowOrder, SplashCoversTheIdentificationInOrderAndThePanelsAreFilled) {
    sysinfo::ScopedIdentificationSteps steps(recordingSteps(
        sysinfo::RegistryTexts{"3200 Mhz Test CPU", "Intel64 Family 6 Model 158 Stepping 10",
                               "GenuineIntel"},
        {true, false, true, true, true}, kExampleRates));
    form->FormShow();

    const std::vector<std::string> expected = {"splash painted", "registry",   "probe, MMX",
                                               "probe, 3DNow",   "probe, SSE", "probe, SSE2",
                                               "probe, SSE3",    "sweeps",     "clock"};
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(splash->isVisible());
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
    sysinfo::ScopedIdentificationSteps steps(
        recordingSteps(std::nullopt, {false, false, false, false, false}, flat));
    form->showMaximized();
    QCoreApplication::processEvents();
    EXPECT_EQ(std::count(log.begin(), log.end(), "clock"), 1);
    EXPECT_EQ(form->size(), QSize(393, 490));
    form->resize(800, 600);
    EXPECT_EQ(form->size(), QSize(393, 490));
    for (platform::Panel* panel : {form->Panel1, form->Panel2, form->Panel3, form->Panel5})
        EXPECT_EQ(panel->caption(), "-");
    EXPECT_EQ(form->Panel4->caption(), "x86");
    EXPECT_FALSE(splash->isVisible());
}

// Its place and both pictures are compared on screen by the end-to-end splash test, where
// no window manager draws frames.
TEST_F(FormShowOrder, SplashIsBorderless) {
    EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
}
