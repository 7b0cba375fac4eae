// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tform1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QResizeEvent>
#include <initializer_list>
#include <utility>

#include "app/fonts.h"
#include "app/pictures.h"
#include "app/timers.h"
#include "diag/memtest.h"
#include "present/captions.h"
#include "present/words.h"
#include "widgets/events.h"

TForm1* Form1 = nullptr;

namespace {

using Kind = widgets::Panel::Kind;

const QColor kNavy(0, 0, 128);
const QColor kYellow(255, 255, 0);

QLabel* label(QWidget* parent, int left, int top, const QString& caption, const char* name) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->move(left, top);
    l->adjustSize();  // labels size themselves to their text
    return l;
}

widgets::Panel* panel(QWidget* parent, QRect geometry, Kind kind, const QString& caption,
                      const char* name) {
    auto* p = new widgets::Panel(parent, kind, caption);
    p->setObjectName(name);
    p->setGeometry(geometry);
    return p;
}

QGroupBox* groupBox(QWidget* parent, QRect geometry, const QString& caption, const char* name) {
    auto* g = new QGroupBox(caption, parent);
    g->setObjectName(name);
    g->setGeometry(geometry);
    return g;
}

QPushButton* button(QWidget* parent, QRect geometry, const QString& caption, const char* name) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    return b;
}

// Ties each figure to the caption beside it, pair by pair: a screen reader hears the caption
// as the figure's label, and as a value panel's name.
void captionFigures(std::initializer_list<std::pair<QLabel*, QWidget*>> pairs) {
    for (const auto& [caption, figure] : pairs) caption->setBuddy(figure);
}

// Sets the text colour of enabled controls; disabled ones keep the style's grey, so a RUN
// button that a running test disabled looks disabled.
void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, colour);
        palette.setColor(group, QPalette::ButtonText, colour);
    }
    widget->setPalette(palette);
}

// The Tab order follows the reading order: the upper tab row and its page, then the lower
// tab row and each of its pages, top to bottom and left to right. Hidden pages are skipped.
void setReadingOrder(TForm1& form) {
    widgets::PageControl* const upper = form.PageControl1;
    widgets::PageControl* const lower = form.PageControl2;
    widgets::setFocusOrder({upper->tabButton(0), upper->tabButton(1), upper->tabButton(2),
                            form.Panel15, lower->tabButton(0), lower->tabButton(1),
                            lower->tabButton(2), form.Button1, form.Button2, form.Button3,
                            form.Button4, form.Button5, form.Button7, form.Button8, form.Button9,
                            form.Button6});
}

}  // namespace

#define LABEL(parent, left, top, caption, var) var = label(parent, left, top, caption, #var)
#define VALUE_PANEL(parent, l, t, w, h, var) \
    var = panel(parent, QRect(l, t, w, h), Kind::Value, widgets::qtext(present::kNoFigure), #var)

TForm1::TForm1(WindowInputs inputs, std::unique_ptr<platform::JobRunner> jobs, QWidget* parent)
    : QWidget(parent),
      inputs_(std::move(inputs)),
      jobs_(jobs ? std::move(jobs) : std::make_unique<platform::WorkerJobRunner>()) {
    // Each step a test left empty is the machine's.
    const sysinfo::IdentificationSteps machine =
        sysinfo::machineIdentificationSteps(inputs_.sources);
    sysinfo::IdentificationSteps& steps = inputs_.identification;
    if (!steps.readRegistry) steps.readRegistry = machine.readRegistry;
    if (!steps.runProbe) steps.runProbe = machine.runProbe;
    if (!steps.runCacheSweeps) steps.runCacheSweeps = machine.runCacheSweeps;
    if (!steps.measureClock) steps.measureClock = machine.measureClock;
    Form1 = this;
    setWindowTitle(windowCaption());
    setFont(app::tahoma11());
    setFixedSize(kClientWidth, kClientHeight);

    PageControl1 = new widgets::PageControl(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setFont(app::tahoma11());
    setTextColour(PageControl1, kNavy);
    PageControl1->setGeometry(0, 0, 393, 169);
    TabSheet1 = PageControl1->addPage(widgets::qtext(present::kInfoTabs[0]));
    TabSheet2 = PageControl1->addPage(widgets::qtext(present::kInfoTabs[1]));
    TabSheet3 = PageControl1->addPage(widgets::qtext(present::kInfoTabs[2]));

    PageControl2 = new widgets::PageControl(this);
    PageControl2->setObjectName("PageControl2");
    PageControl2->setFont(app::tahoma11());
    setTextColour(PageControl2, kNavy);
    PageControl2->setGeometry(0, 168, 393, 321);
    TabSheet4 = PageControl2->addPage(widgets::qtext(present::kWorkTabs[0]));
    TabSheet5 = PageControl2->addPage(widgets::qtext(present::kWorkTabs[1]));
    TabSheet6 = PageControl2->addPage(widgets::qtext(present::kWorkTabs[2]));

    const char* sheetNames[] = {"TabSheet1", "TabSheet2", "TabSheet3",
                                "TabSheet4", "TabSheet5", "TabSheet6"};
    QWidget* sheets[] = {TabSheet1, TabSheet2, TabSheet3, TabSheet4, TabSheet5, TabSheet6};
    for (int i = 0; i < 6; ++i) sheets[i]->setObjectName(sheetNames[i]);

    buildCpuInfoPage();
    buildRamInfoPage();
    buildAboutPage();
    buildCpuBenchmarkPage();
    buildRamBenchmarkPage();
    buildDiagnosticPage();
    setReadingOrder(*this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(1000);
    wireHandlers();
    enableClockRefresh(true);
}

TForm1::~TForm1() {
    // The job under way ends first (a memory test at its next step), while the window it
    // hands its updates to and the runner its event points call still exist; the jobs that
    // had not started never run.
    diag::memTestStop.store(1, std::memory_order_relaxed);
    jobs_->finish();
    stopDiagnostics();
    jobs_.reset();
    if (Form1 == this) Form1 = nullptr;
}

QString TForm1::windowCaption() {
    return QString::fromStdString(present::windowTitle());
}

QWidget* TForm1::control(const QString& name) const {
    return findChild<QWidget*>(name);
}

void TForm1::buildCpuInfoPage() {
    GroupBox1 =
        groupBox(TabSheet1, QRect(0, 0, 385, 137), widgets::qtext(present::kInfoBox), "GroupBox1");
    const auto& cpu = present::kCpuCaptions;
    LABEL(GroupBox1, 40, 16, widgets::qtext(cpu[0]), Label1);
    LABEL(GroupBox1, 46, 32, widgets::qtext(cpu[1]), Label2);
    LABEL(GroupBox1, 56, 56, widgets::qtext(cpu[2]), Label3);
    LABEL(GroupBox1, 32, 72, widgets::qtext(cpu[3]), Label4);
    LABEL(GroupBox1, 24, 96, widgets::qtext(cpu[4]), Label5);
    LABEL(GroupBox1, 32, 112, widgets::qtext(cpu[5]), Label6);
    VALUE_PANEL(GroupBox1, 96, 16, 281, 17, Panel1);
    VALUE_PANEL(GroupBox1, 96, 32, 281, 17, Panel2);
    VALUE_PANEL(GroupBox1, 96, 56, 281, 17, Panel3);
    VALUE_PANEL(GroupBox1, 96, 72, 281, 17, Panel4);
    VALUE_PANEL(GroupBox1, 96, 96, 137, 17, Panel5);
    VALUE_PANEL(GroupBox1, 96, 112, 137, 17, Panel6);
    captionFigures({{Label1, Panel1},
                    {Label2, Panel2},
                    {Label3, Panel3},
                    {Label4, Panel4},
                    {Label5, Panel5},
                    {Label6, Panel6}});
    Panel15 = panel(GroupBox1, QRect(240, 112, 33, 17), Kind::Button, widgets::qtext(present::kOn),
                    "Panel15");
    Panel15->setCursor(Qt::PointingHandCursor);
    Panel15->setAccessibleDescription(widgets::qtext(present::kRefreshDescription));
    Panel16 = panel(GroupBox1, QRect(280, 96, 97, 33), Kind::Frame, "", "Panel16");
    Image2 = new widgets::Picture(Panel16);
    Image2->setObjectName("Image2");
    Image2->setGeometry(2, 2, 92, 30);
    Image2->setImage(app::pagePicture());
    Image2->setAccessibleName(widgets::qtext(present::kProgramName));
}

void TForm1::buildRamInfoPage() {
    GroupBox2 = groupBox(TabSheet2, QRect(0, 0, 385, 137), widgets::qtext(present::kHronologyBox),
                         "GroupBox2");
    const auto& memory = present::kMemoryCaptions;
    LABEL(GroupBox2, 20, 16, widgets::qtext(memory[0]), Label7);
    LABEL(GroupBox2, 15, 32, widgets::qtext(memory[1]), Label8);
    LABEL(GroupBox2, 18, 56, widgets::qtext(memory[2]), Label9);
    LABEL(GroupBox2, 22, 72, widgets::qtext(memory[3]), Label10);
    LABEL(GroupBox2, 16, 96, widgets::qtext(memory[4]), Label11);
    LABEL(GroupBox2, 8, 112, widgets::qtext(memory[5]), Label12);
    VALUE_PANEL(GroupBox2, 96, 16, 129, 17, Panel7);
    VALUE_PANEL(GroupBox2, 96, 32, 129, 17, Panel8);
    VALUE_PANEL(GroupBox2, 96, 56, 129, 17, Panel9);
    VALUE_PANEL(GroupBox2, 96, 72, 129, 17, Panel10);
    VALUE_PANEL(GroupBox2, 96, 96, 129, 17, Panel11);
    VALUE_PANEL(GroupBox2, 96, 112, 129, 17, Panel12);
    captionFigures({{Label7, Panel7},
                    {Label8, Panel8},
                    {Label9, Panel9},
                    {Label10, Panel10},
                    {Label11, Panel11},
                    {Label12, Panel12}});
    Panel13 = panel(GroupBox2, QRect(240, 16, 137, 113), Kind::Frame, "", "Panel13");
    Image1 = new widgets::Picture(Panel13);
    Image1->setObjectName("Image1");
    Image1->setGeometry(8, 8, 121, 100);
    // Drawn over the chart: yellow text on a transparent background. They have no caption on
    // screen, and the one they show first is their own control name, so screen readers get a
    // name of their own.
    Label26 =
        new widgets::FigureLabel(widgets::qtext(present::kFreeMemoryName), "Label26", Panel13);
    Label27 =
        new widgets::FigureLabel(widgets::qtext(present::kMemoryLoadName), "Label27", Panel13);
    Label26->setObjectName("Label26");
    Label27->setObjectName("Label27");
    Label26->move(16, 8);
    Label27->move(16, 96);
    Image1->setAccessibleName(widgets::qtext(present::kLoadChartName));
    Image1->setDescriber([this] {
        if (Image1->image().isNull()) return widgets::qtext(present::kLoadChartEmpty);
        return QString::fromStdString(present::loadChartDescription(Label27->text().toStdString(),
                                                                    Label26->text().toStdString()));
    });
    for (QLabel* overlay : {Label26, Label27}) {
        overlay->adjustSize();
        setTextColour(overlay, kYellow);
        overlay->setAttribute(Qt::WA_TranslucentBackground);
        overlay->setAutoFillBackground(false);
        overlay->raise();
    }
}

void TForm1::buildAboutPage() {
    GroupBox3 =
        groupBox(TabSheet3, QRect(0, 0, 385, 137), widgets::qtext(present::kAboutBox), "GroupBox3");
    LABEL(GroupBox3, 16, 24, QString::fromStdString(present::versionCaption()), Label75);
    LABEL(GroupBox3, 16, 48, widgets::qtext(present::kAboutLine), Label76);
    LABEL(GroupBox3, 16, 104, widgets::qtext(present::kRightsLine), Label77);
}

void TForm1::buildCpuBenchmarkPage() {
    using bench::Group;
    GroupBox4 = groupBox(TabSheet4, QRect(0, 0, 385, 289), "", "GroupBox4");
    GroupBox5 = groupBox(GroupBox4, QRect(0, 0, 193, 137),
                         widgets::qtext(present::groupTitle(Group::Alu)), "GroupBox5");
    GroupBox6 = groupBox(GroupBox4, QRect(0, 128, 193, 129),
                         widgets::qtext(present::groupTitle(Group::Fpu)), "GroupBox6");
    GroupBox7 = groupBox(GroupBox4, QRect(192, 0, 193, 257),
                         widgets::qtext(present::groupTitle(Group::Instr)), "GroupBox7");

    // Each row's caption label and result label, in row order: rows 1 to 13 are Label13 to
    // Label25 beside Label28 to Label40, row 14 is Label90 beside Label91, rows 15 to 29 are
    // Label41 to Label55 beside Label56 to Label70.
    QLabel** const rows[bench::kRowCount][2] = {
        {&Label13, &Label28}, {&Label14, &Label29}, {&Label15, &Label30}, {&Label16, &Label31},
        {&Label17, &Label32}, {&Label18, &Label33}, {&Label19, &Label34}, {&Label20, &Label35},
        {&Label21, &Label36}, {&Label22, &Label37}, {&Label23, &Label38}, {&Label24, &Label39},
        {&Label25, &Label40}, {&Label90, &Label91}, {&Label41, &Label56}, {&Label42, &Label57},
        {&Label43, &Label58}, {&Label44, &Label59}, {&Label45, &Label60}, {&Label46, &Label61},
        {&Label47, &Label62}, {&Label48, &Label63}, {&Label49, &Label64}, {&Label50, &Label65},
        {&Label51, &Label66}, {&Label52, &Label67}, {&Label53, &Label68}, {&Label54, &Label69},
        {&Label55, &Label70}};
    for (std::size_t position = 0; position < bench::kKernelTable.size(); ++position) {
        const auto [row, group, index] = bench::placeOf(bench::kKernelTable, position);
        const int captionNumber = row <= 13 ? 12 + row : row == 14 ? 90 : 26 + row;
        const int resultNumber = row <= 13 ? 27 + row : row == 14 ? 91 : 41 + row;
        // ALU rows in GroupBox5, FPU rows in GroupBox6, INSTR rows in GroupBox7, 16 pixels apart.
        QGroupBox* const box = group == Group::Alu   ? GroupBox5
                               : group == Group::Fpu ? GroupBox6
                                                     : GroupBox7;
        const int top = 16 * index;
        const QString start =
            widgets::qtext(row == 14 ? present::kNoResultWithBlank : present::kNoResult);
        QLabel*& caption = *rows[position][0];
        QLabel*& result = *rows[position][1];
        caption = label(box, 8, top,
                        widgets::qtext(present::rowCaption(bench::kKernelTable[position].caption)),
                        ("Label" + QByteArray::number(captionNumber)).constData());
        result = label(box, group == Group::Instr ? 88 : 112, top, start,
                       ("Label" + QByteArray::number(resultNumber)).constData());
        caption->setBuddy(result);
        resultLabels_[static_cast<std::size_t>(row - 1)] = result;
    }

    Panel14 = panel(GroupBox4, QRect(0, 261, 257, 25), Kind::Value, "", "Panel14");
    Panel14->setAccessibleName(widgets::qtext(present::kCpuScoreName));
    Panel14->setFont(app::impact16());
    QPalette blue = Panel14->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Panel14->setPalette(blue);
    Button1 = button(GroupBox4, QRect(257, 261, 64, 25), widgets::qtext(present::kRun), "Button1");
    Button2 =
        button(GroupBox4, QRect(322, 261, 59, 25), widgets::qtext(present::kClose), "Button2");
}

QLabel* TForm1::resultLabel(int row) const {
    return resultLabels_.at(static_cast<std::size_t>(row - 1));
}

void TForm1::buildRamBenchmarkPage() {
    GroupBox8 =
        groupBox(TabSheet5, QRect(0, 0, 385, 289), widgets::qtext(present::kRamBox), "GroupBox8");
    LABEL(GroupBox8, 8, 24, widgets::qtext(present::kWriteMemorySpeed), Label71);
    LABEL(GroupBox8, 8, 40, widgets::qtext(present::kReadMemorySpeed), Label72);
    LABEL(GroupBox8, 120, 24, widgets::qtext(present::kNoResult), Label73);
    LABEL(GroupBox8, 120, 40, widgets::qtext(present::kNoResult), Label74);
    captionFigures({{Label71, Label73}, {Label72, Label74}});
    Button3 = button(GroupBox8, QRect(256, 261, 65, 25), widgets::qtext(present::kRun), "Button3");
    Button4 =
        button(GroupBox8, QRect(322, 261, 59, 25), widgets::qtext(present::kClose), "Button4");
}

void TForm1::buildDiagnosticPage() {
    GroupBox9 = groupBox(TabSheet6, QRect(0, 0, 385, 145), widgets::qtext(present::kCpuTestBox),
                         "GroupBox9");
    LABEL(GroupBox9, 16, 24, widgets::qtext(present::kPass), Label89);
    LABEL(GroupBox9, 72, 24, widgets::qtext(present::kNoResult), Label88);
    LABEL(GroupBox9, 16, 40, widgets::qtext(present::kErrors), Label92);
    LABEL(GroupBox9, 72, 40, widgets::qtext(present::kNoResult), Label93);
    captionFigures({{Label89, Label88}, {Label92, Label93}});
    Button5 = button(GroupBox9, QRect(192, 112, 59, 25), widgets::qtext(present::kRun), "Button5");
    Button7 = button(GroupBox9, QRect(256, 112, 57, 25), widgets::qtext(present::kStop), "Button7");

    GroupBox10 = groupBox(TabSheet6, QRect(0, 136, 385, 153), widgets::qtext(present::kRamTestBox),
                          "GroupBox10");
    LABEL(GroupBox10, 16, 24, widgets::qtext(present::kTestingMemorySize), Label78);
    LABEL(GroupBox10, 144, 24, widgets::qtext(present::kNoTestingMemory), Label80);
    LABEL(GroupBox10, 16, 40, widgets::qtext(present::kErrorsFound), Label82);
    LABEL(GroupBox10, 88, 40, widgets::qtext(present::kNoResult), Label83);
    LABEL(GroupBox10, 16, 56, widgets::qtext(present::kPass), Label79);
    LABEL(GroupBox10, 48, 56, widgets::qtext(present::kNoResult), Label81);
    LABEL(GroupBox10, 16, 80, widgets::qtext(present::kWriteSpeed), Label84);
    LABEL(GroupBox10, 96, 80, widgets::qtext(present::kNoResult), Label86);
    LABEL(GroupBox10, 16, 96, widgets::qtext(present::kReadAndTest), Label85);
    LABEL(GroupBox10, 96, 96, widgets::qtext(present::kNoResult), Label87);
    captionFigures({{Label78, Label80},
                    {Label82, Label83},
                    {Label79, Label81},
                    {Label84, Label86},
                    {Label85, Label87}});
    Button8 = button(GroupBox10, QRect(192, 124, 57, 25), widgets::qtext(present::kRun), "Button8");
    Button9 =
        button(GroupBox10, QRect(256, 124, 57, 25), widgets::qtext(present::kStop), "Button9");
    Button6 =
        button(GroupBox10, QRect(320, 124, 59, 25), widgets::qtext(present::kClose), "Button6");
}

void TForm1::wireHandlers() {
    using widgets::runHandler;
    const auto wire = [this](QPushButton* b, void (TForm1::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { runHandler([&] { (this->*handler)(); }); });
    };
    wire(Button1, &TForm1::Button1Click);
    wire(Button2, &TForm1::Button2Click);
    wire(Button3, &TForm1::Button3Click);
    wire(Button4, &TForm1::Button4Click);
    wire(Button5, &TForm1::Button5Click);
    wire(Button6, &TForm1::Button6Click);
    wire(Button7, &TForm1::Button7Click);
    wire(Button8, &TForm1::Button8Click);
    wire(Button9, &TForm1::Button9Click);
    connect(Panel15, &widgets::Panel::clicked, this,
            [this] { runHandler([&] { Panel15Click(); }); });
    connect(Timer1, &QTimer::timeout, this, [this] { runHandler([&] { Timer1Timer(); }); });
    connect(Timer2, &QTimer::timeout, this, [this] { runHandler([&] { Timer2Timer(); }); });
    connect(PageControl1, &widgets::PageControl::pageShown, this, [this](int index) {
        runHandler([&] {
            if (index == 0) TabSheet1Show();
            if (index == 1) TabSheet2Show();
            if (index == 2) TabSheet3Show();
        });
    });
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

// The window manager's close is a CLOSE like the buttons'. The window is not closed here:
// closing it would hide it while a run on this thread went on to its end.
void TForm1::closeEvent(QCloseEvent* event) {
    event->ignore();
    terminate();
}

// The window keeps one size: its client area stays 393 x 490 whatever the frame.
void TForm1::FormResize() {
    if (size() != QSize(kClientWidth, kClientHeight)) resize(kClientWidth, kClientHeight);
}

void TForm1::TabSheet1Show() {
    enableClockRefresh(true);
    app::enableTimer(Timer2, false);
}

void TForm1::TabSheet2Show() {
    enableClockRefresh(false);
    app::enableTimer(Timer2, true);
}

void TForm1::TabSheet3Show() {
    enableClockRefresh(false);
    app::enableTimer(Timer2, false);
}

// The CLOSE buttons end the program at once: no question, nothing saved.
void TForm1::Button2Click() {
    terminate();
}
void TForm1::Button4Click() {
    terminate();
}
void TForm1::Button6Click() {
    terminate();
}

// exit(0), not quit(): quit() closes every window first, while a job under way would go on,
// invisible. The event loop ends at once; a job or a stability pass still under way does not
// hold the program (app/main.cpp), and both tests stop at their next check.
void TForm1::terminate() {
    enableClockRefresh(false);
    app::enableTimer(Timer2, false);
    diag::cpuTestStop.store(true, std::memory_order_relaxed);
    diag::memTestStop.store(1, std::memory_order_relaxed);
    QCoreApplication::exit(0);
}

void TForm1::eventPoint() {
    jobs_->eventPoint();
}

bool TForm1::idle() const {
    return jobs_->idle() && stabilityWorkers_.running() == 0;
}

void TForm1::runJob(std::function<void()> job, std::function<void()> afterwards,
                    std::function<void()> failed) {
    jobs_->submit([this, job = std::move(job), afterwards = std::move(afterwards),
                   failed = std::move(failed)] {
        try {
            job();
        } catch (const std::exception& failure) {
            if (failed) post(failed);
            post([message = QString::fromLocal8Bit(failure.what())] {
                widgets::showError(message);
            });
        }
        if (afterwards) post(afterwards);
    });
}
