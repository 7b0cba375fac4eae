// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: every control of every page at its fixed place, and the handlers.
// Handlers live beside the subsystem they drive: tform1.cpp (layout, pages, closing),
// tform1_clock.cpp, tform1_identify.cpp, tform1_bench.cpp, tform1_ram.cpp, tform1_diag.cpp.

#include <QGroupBox>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <span>

#include "bench/kernel_table.h"
#include "diag/potok1.h"
#include "membench/memory_speed.h"
#include "platform/jobs.h"
#include "platform/sources.h"
#include "sysinfo/identification.h"
#include "sysinfo/memory_monitor.h"
#include "widgets/controls.h"

// What the window measures with besides its job runner: the machine it reads, and the
// workloads its runs are made of. The program hands in the live machine's; a test hands in
// its own.
struct WindowInputs {
    platform::Sources sources;
    // The start-up identification and the clock refresh's measurement; each step left empty
    // is the machine's, read through `sources`.
    sysinfo::IdentificationSteps identification;
    membench::Workload ramWorkload;
    // The rows RUN on "CPU Benchmark " runs, laid out as the table's are; they must outlive
    // the window.
    std::span<const bench::KernelRow> benchmarkRows = bench::kKernelTable;
    // The pass the CPU test's workers run.
    diag::PassRoutine stabilityPass = diag::designedPass;
};

class TForm1 : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 393;
    static constexpr int kClientHeight = 490;

    // The window measures with `inputs`; its long work runs on `jobs`, a worker thread of its
    // own when none is given.
    explicit TForm1(WindowInputs inputs = {}, std::unique_ptr<platform::JobRunner> jobs = nullptr,
                    QWidget* parent = nullptr);
    ~TForm1() override;

    // The window's caption: version, six blanks and the project address between '~'.
    static QString windowCaption();

    // Looks a control up by its layout name ("Label28", "Panel15", "Button1", ...).
    QWidget* control(const QString& name) const;

    // The result label of benchmark row `row`, 1 to 29.
    QLabel* resultLabel(int row) const;

    // Pausing and resuming the clock refresh, around the CPU and memory benchmarks and the
    // CPU test; the memory test leaves the clock alone.
    void pauseClockRefresh();
    void resumeClockRefresh();

    // Why the memory test had no block ("Not enough memory"), in "RAM TEST" until the next
    // run starts.
    void showMemTestMessage(const std::string& text);

    // An event point of the running job, on the job runner's thread: the jobs that clicks
    // and ticks queued meanwhile run here, each to its end.
    void eventPoint();

    // No job runs or waits and no stability worker runs: the program can end without cutting
    // any work short.
    bool idle() const;

    // Handlers, named by control and event.
    void FormShow();
    void FormResize();
    void TabSheet1Show();
    void TabSheet2Show();
    void TabSheet3Show();
    void Panel15Click();
    void Timer1Timer();
    void Timer2Timer();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();

    // Tab controls and pages.
    widgets::PageControl* PageControl1;
    widgets::PageControl* PageControl2;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    QWidget* TabSheet4;
    QWidget* TabSheet5;
    QWidget* TabSheet6;

    // Group boxes.
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QGroupBox* GroupBox3;
    QGroupBox* GroupBox4;
    QGroupBox* GroupBox5;
    QGroupBox* GroupBox6;
    QGroupBox* GroupBox7;
    QGroupBox* GroupBox8;
    QGroupBox* GroupBox9;
    QGroupBox* GroupBox10;

    // "CPU Info".
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    widgets::Panel *Panel1, *Panel2, *Panel3, *Panel4, *Panel5, *Panel6;
    widgets::Panel* Panel15;
    widgets::Panel* Panel16;
    widgets::Picture* Image2;

    // "RAM Info".
    QLabel *Label7, *Label8, *Label9, *Label10, *Label11, *Label12;
    widgets::Panel *Panel7, *Panel8, *Panel9, *Panel10, *Panel11, *Panel12;
    widgets::Panel* Panel13;
    widgets::Picture* Image1;
    QLabel *Label26, *Label27;

    // "About".
    QLabel *Label75, *Label76, *Label77;

    // "CPU Benchmark": row captions and row results.
    QLabel *Label13, *Label14, *Label15, *Label16, *Label17, *Label18, *Label19;
    QLabel *Label20, *Label21, *Label22, *Label23, *Label24, *Label25, *Label90;
    QLabel *Label41, *Label42, *Label43, *Label44, *Label45, *Label46, *Label47, *Label48;
    QLabel *Label49, *Label50, *Label51, *Label52, *Label53, *Label54, *Label55;
    QLabel *Label28, *Label29, *Label30, *Label31, *Label32, *Label33, *Label34;
    QLabel *Label35, *Label36, *Label37, *Label38, *Label39, *Label40, *Label91;
    QLabel *Label56, *Label57, *Label58, *Label59, *Label60, *Label61, *Label62, *Label63;
    QLabel *Label64, *Label65, *Label66, *Label67, *Label68, *Label69, *Label70;
    widgets::Panel* Panel14;
    QPushButton *Button1, *Button2;

    // "RAM Benchmark".
    QLabel *Label71, *Label72, *Label73, *Label74;
    QPushButton *Button3, *Button4;

    // "Diagnostic".
    QLabel *Label89, *Label88, *Label92, *Label93;
    QPushButton *Button5, *Button7;
    QLabel *Label78, *Label80, *Label82, *Label83, *Label79, *Label81;
    QLabel *Label84, *Label86, *Label85, *Label87;
    QPushButton *Button8, *Button9, *Button6;

    QTimer* Timer1;
    QTimer* Timer2;

    // The first request to show the window runs FormShow; the window appears when the
    // identification has ended.
    void setVisible(bool visible) override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildCpuInfoPage();
    void buildRamInfoPage();
    void buildAboutPage();
    void buildCpuBenchmarkPage();
    void buildRamBenchmarkPage();
    void buildDiagnosticPage();
    void wireHandlers();

    // CLOSE and the window manager's close: the event loop is told to end, and the window
    // stays as it is until the process exits, so no run goes on unseen.
    void terminate();

    // Runs `job` on the job runner. A failure is shown in the general error display, after
    // `failed`; `afterwards` is handed to the window thread whether the job ended or failed.
    void runJob(std::function<void()> job, std::function<void()> afterwards = {},
                std::function<void()> failed = {});

    // Hands an update to the window thread; updates arrive in the order they were handed.
    template <class Update>
    void post(Update&& update) {
        QMetaObject::invokeMethod(this, std::forward<Update>(update), Qt::QueuedConnection);
    }

    // Timer1 on or off, and whether the refresh is on, as the window thread last set them:
    // a clock job queued before the refresh was switched off must not measure any more.
    void enableClockRefresh(bool enabled);
    std::atomic<bool> clockRefreshOn_{false};

    WindowInputs inputs_;
    std::unique_ptr<platform::JobRunner> jobs_;

    std::array<QLabel*, 29> resultLabels_{};  // by benchmark row

    // Identification state: the main window is shown once the identification has ended.
    void showIdentification(const sysinfo::Identification& found);
    bool identifying_ = false;
    bool identified_ = false;

    // Set from a click on RUN until the run's end is back on the window thread, so a second
    // click during the run is ignored instead of queuing a second run.
    bool benchmarkRunning_ = false;
    // Set while a clock measurement waits or runs: a tick in that time starts no second one.
    bool clockMeasuring_ = false;

    sysinfo::MemoryMonitor memoryMonitor_;  // its history outlives the page being hidden

    // Diagnostics state (stability workers, memory test).
    // Ends the stability workers before the window goes: each after its current pass,
    // waited for here.
    void stopDiagnostics();
    diag::StabilityWorkers stabilityWorkers_;
    QLabel* memTestMessage_ = nullptr;  // shown in "RAM TEST" when the block cannot be had
};

// The main window, as the handlers of other windows and the workers reach it.
extern TForm1* Form1;
