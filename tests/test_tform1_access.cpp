// SPDX-License-Identifier: GPL-3.0-or-later
// The window without a mouse: the Tab order, the page keys, Panel15 from the keyboard, and
// what a screen reader reads from every control.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QStringList>
#include <optional>

#include "app/tform1.h"
#include "app/tform2.h"
#include "memory_reports.h"
#include "platform/memory_status.h"
#include "window_jobs.h"

namespace {

class WindowWithoutMouse : public WindowTest {
  protected:
    // Presses a key where the window's focus is, as the keyboard would.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false) {
        QWidget* target = form->focusWidget() ? form->focusWidget() : form.get();
        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), repeat);
        QCoreApplication::sendEvent(target, &event);
    }

    // The focused control by its layout name, a tab by its caption.
    QString focused() const {
        QWidget* focus = form->focusWidget();
        if (!focus) return "<none>";
        if (auto* tab = qobject_cast<widgets::PageTab*>(focus)) return tab->text().trimmed();
        return focus->objectName();
    }

    // The controls Tab visits from the focused one until it comes back round.
    QStringList tabRound() {
        const QString start = focused();
        QStringList round{start};
        for (int i = 0; i < 40; ++i) {
            press(Qt::Key_Tab);
            if (focused() == start) return round;
            round << focused();
        }
        return round << "<no way back>";
    }

    bool timer1() const { return form->Timer1->isActive(); }
    bool timer2() const { return form->Timer2->isActive(); }
};

QAccessibleInterface* viewOf(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

}  // namespace

TEST_F(WindowWithoutMouse, TabVisitsEachTabRowPanel15AndEveryButtonInReadingOrder) {
    form->PageControl1->tabButton(0)->setFocus();
    EXPECT_EQ(tabRound(),
              QStringList({"CPU Info", "Panel15", "CPU Benchmark", "Button1", "Button2"}));

    form->PageControl2->setCurrentIndex(1);
    EXPECT_EQ(tabRound(),
              QStringList({"CPU Info", "Panel15", "RAM Benchmark", "Button3", "Button4"}));

    // Panel15 lives on "CPU Info" only; a test that runs disables its RUN, which Tab skips.
    form->PageControl1->setCurrentIndex(1);
    form->PageControl2->setCurrentIndex(2);
    EXPECT_EQ(tabRound(), QStringList({"RAM Info", "Diagnostic", "Button5", "Button7", "Button8",
                                       "Button9", "Button6"}));
    form->Button5->setEnabled(false);
    EXPECT_EQ(tabRound(),
              QStringList({"RAM Info", "Diagnostic", "Button7", "Button8", "Button9", "Button6"}));

    // Shift+Tab walks the same round backwards.
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), "Button6");
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), "Button9");
}

// The keys switch pages through the same page handlers as a click: the timers follow.
TEST_F(WindowWithoutMouse, PageKeysSwitchThePagesOfTheControlHoldingTheFocus) {
    form->Panel15->setFocus();
    press(Qt::Key_Right);  // arrows away from the tabs leave the pages alone
    EXPECT_EQ(form->PageControl1->currentIndex(), 0);
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(form->PageControl1->currentIndex(), 1);
    EXPECT_EQ(focused(), "RAM Info");  // the focus left the hidden page for the new tab
    EXPECT_FALSE(timer1());
    EXPECT_TRUE(timer2());

    press(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(focused(), "About");
    press(Qt::Key_Tab, Qt::ControlModifier, /*repeat=*/true);  // a held key stops at the end
    EXPECT_EQ(focused(), "About");
    press(Qt::Key_Tab, Qt::ControlModifier);  // a fresh press goes round
    EXPECT_EQ(focused(), "CPU Info");
    EXPECT_TRUE(timer1());
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(focused(), "About");
    press(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(focused(), "RAM Info");

    // On a tab, Left and Right step to the neighbouring page and stop at either end.
    press(Qt::Key_Left);
    EXPECT_EQ(focused(), "CPU Info");
    press(Qt::Key_Left);
    EXPECT_EQ(focused(), "CPU Info");
    press(Qt::Key_Right);
    press(Qt::Key_Right);
    EXPECT_EQ(form->PageControl1->currentIndex(), 2);

    // From a button of the lower control the keys switch the lower pages; the upper page
    // and its timers stay as they are.
    form->Button1->setFocus();
    press(Qt::Key_Right);
    EXPECT_EQ(form->PageControl2->currentIndex(), 0);
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(focused(), "RAM Benchmark");
    EXPECT_EQ(form->PageControl1->currentIndex(), 2);
    EXPECT_FALSE(timer1() || timer2());
}

TEST_F(WindowWithoutMouse, SpaceAndEnterOnPanel15ClickIt) {
    form->Panel15->setFocus();
    press(Qt::Key_Space);
    EXPECT_EQ(form->Panel15->caption(), "OFF");
    EXPECT_FALSE(timer1());
    press(Qt::Key_Space, Qt::NoModifier, /*repeat=*/true);  // holding Space clicks once
    EXPECT_EQ(form->Panel15->caption(), "OFF");
    press(Qt::Key_Return);
    EXPECT_EQ(form->Panel15->caption(), "ON");
    EXPECT_TRUE(timer1());
    press(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(form->Panel15->caption(), "OFF");
    press(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(form->Panel15->caption(), "OFF");
}

// Each value panel is named by the caption beside it and read as the text it shows.
TEST_F(WindowWithoutMouse, ValuePanelsAreNamedByTheirCaptionAndReadAsTheirText) {
    form->Panel6->setCaption("2096.62");
    form->Panel12->setCaption("6427396 Kbyte");
    const struct {
        widgets::Panel* panel;
        const char* name;
    } panels[] = {{form->Panel1, "CPU Name"},         {form->Panel2, "Family Id"},
                  {form->Panel3, "Vendor"},           {form->Panel4, "Instructions"},
                  {form->Panel5, "Cache level 2"},    {form->Panel6, "Core speed"},
                  {form->Panel7, "Virtual memory"},   {form->Panel8, "Virtual m. in use"},
                  {form->Panel9, "Size of pagefile"}, {form->Panel10, "Pagefile in use"},
                  {form->Panel11, "Phisical memory"}, {form->Panel12, "Load ph. memory"},
                  {form->Panel14, "CPU score"}};
    for (const auto& [panel, name] : panels) {
        QAccessibleInterface* view = viewOf(panel);
        ASSERT_NE(view, nullptr) << name;
        EXPECT_EQ(view->text(QAccessible::Name), name);
        EXPECT_EQ(view->text(QAccessible::Value), panel->caption()) << name;
        ASSERT_NE(view->textInterface(), nullptr) << name;
        EXPECT_EQ(view->textInterface()->text(0, view->textInterface()->characterCount()),
                  panel->caption())
            << name;
    }

    QAccessibleInterface* button = viewOf(form->Panel15);
    EXPECT_EQ(button->role(), QAccessible::Button);
    EXPECT_EQ(button->text(QAccessible::Name), "ON");
    EXPECT_TRUE(button->state().focusable);
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(form->Panel15->caption(), "OFF");
    EXPECT_EQ(button->text(QAccessible::Name), "OFF");

    // A result is tied to the caption of its row.
    const auto relations = viewOf(form->Label28)->relations(QAccessible::Label);
    ASSERT_FALSE(relations.isEmpty());
    EXPECT_EQ(relations.front().first->object(), form->Label13);
}

TEST_F(WindowWithoutMouse, TabsAreReadWithoutTheirPaddingAndShowWhichIsSelected) {
    const QStringList names[] = {{"CPU Info", "RAM Info", "About"},
                                 {"CPU Benchmark", "RAM Benchmark", "Diagnostic"}};
    widgets::PageControl* const controls[] = {form->PageControl1, form->PageControl2};
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < 3; ++i) {
            QAccessibleInterface* tab = viewOf(controls[c]->tabButton(i));
            EXPECT_EQ(tab->role(), QAccessible::PageTab);
            EXPECT_EQ(tab->text(QAccessible::Name), names[c][i]);
            EXPECT_EQ(tab->state().selected, i == 0) << names[c][i].toStdString();
            EXPECT_EQ(tab->parent()->role(), QAccessible::PageTabList);
        }
    }
    // Pressing a tab, as a screen reader offers it, shows its page.
    viewOf(form->PageControl1->tabButton(1))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(form->PageControl1->currentIndex(), 1);
}

TEST_F(WindowWithoutMouse, TheLoadChartDescribesTheLoadItShows) {
    QAccessibleInterface* chart = viewOf(form->Image1);
    EXPECT_EQ(chart->role(), QAccessible::Graphic);
    EXPECT_FALSE(chart->text(QAccessible::Name).isEmpty());
    EXPECT_FALSE(chart->text(QAccessible::Description).contains("Label2"));

    WindowInputs inputs;
    inputs.sources.memoryStatusSource = [] {
        return std::optional<platform::MemoryStatus>(reports::desktop());
    };
    rebuild(std::move(inputs));
    chart = viewOf(form->Image1);
    form->Timer2Timer();
    const QString description = chart->text(QAccessible::Description);
    EXPECT_TRUE(description.contains("39%")) << description.toStdString();
    EXPECT_TRUE(description.contains("9645 Mb")) << description.toStdString();

    // The figures over the chart are named for what they show.
    EXPECT_EQ(viewOf(form->Label26)->text(QAccessible::Name), "Free physical memory");
    EXPECT_EQ(viewOf(form->Label26)->text(QAccessible::Value), "9645 Mb");
    EXPECT_EQ(viewOf(form->Label27)->text(QAccessible::Name), "Physical memory load");
}

// Walks every control of every page, shown or not, and the splash: no name is a layout name, and
// every control a screen reader stops at or reads a figure from has one.
TEST_F(WindowWithoutMouse, NoControlIsReadByItsLayoutNameOrWithoutAName) {
    const QRegularExpression layoutName(
        "^(Form|Label|Panel|Button|TabSheet|GroupBox|Image|PageControl|Timer)\\d+$");
    std::function<void(QAccessibleInterface*)> visit = [&](QAccessibleInterface* view) {
        const QString name = view->text(QAccessible::Name);
        const QString control = view->object() ? view->object()->objectName() : QString();
        EXPECT_FALSE(layoutName.match(name).hasMatch()) << control.toStdString();
        const QAccessible::Role role = view->role();
        const bool mustBeNamed = role == QAccessible::PageTab || role == QAccessible::Button ||
                                 role == QAccessible::Graphic || view->textInterface() != nullptr;
        if (mustBeNamed) {
            EXPECT_FALSE(name.trimmed().isEmpty()) << control.toStdString();
        }
        for (int i = 0; i < view->childCount(); ++i) visit(view->child(i));
    };
    visit(viewOf(form.get()));
    TForm2 splash;
    visit(viewOf(&splash));
}
