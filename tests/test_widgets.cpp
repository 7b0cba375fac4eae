// SPDX-License-Identifier: GPL-3.0-or-later
// The window's own controls as a keyboard user sees them and a screen reader hears them.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QPushButton>

#include "qt_test_app.h"
#include "widgets/controls.h"

using widgets::Panel;

namespace {

struct ApplicationFirst {
    ApplicationFirst() { testApplication(); }
};

// A small active window: a page control, a button panel and a push button, in Tab order.
struct SmallWindow : ApplicationFirst {
    SmallWindow() {
        window.resize(200, 130);
        pages->setGeometry(0, 0, 200, 80);
        pages->addPage("  One  ");
        pages->addPage("  Two  ");
        panel->setGeometry(10, 90, 33, 17);
        button->setGeometry(100, 85, 60, 25);
        window.show();
        QApplication::setActiveWindow(&window);
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(QApplication::focusWidget(), &event);
    }

    QWidget window;
    widgets::PageControl* pages = new widgets::PageControl(&window);
    Panel* panel = new Panel(&window, Panel::Kind::Button, "ON");
    QPushButton* button = new QPushButton("RUN", &window);
};

}  // namespace

// A mouse user never sees a focus mark; once the keyboard moves the focus, the focused
// control shows one.
TEST(FocusMark, ShowsOnlyOnceTheKeyboardMovedTheFocus) {
    SmallWindow w;
    const QImage tabAlone = w.pages->tabButton(0)->grab().toImage();
    const QImage panelAlone = w.panel->grab().toImage();
    w.pages->tabButton(0)->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(w.pages->tabButton(0)->hasFocus());
    EXPECT_EQ(w.pages->tabButton(0)->grab().toImage(), tabAlone);

    w.press(Qt::Key_Tab);
    ASSERT_TRUE(w.panel->hasFocus());
    EXPECT_NE(w.panel->grab().toImage(), panelAlone);
    w.press(Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_TRUE(w.pages->tabButton(0)->hasFocus());
    EXPECT_NE(w.pages->tabButton(0)->grab().toImage(), tabAlone);
    EXPECT_EQ(w.panel->grab().toImage(), panelAlone);
}

// A click on another tab takes the focus along when it sat on the old one, which Tab no
// longer reaches; otherwise the focus stays where it was.
TEST(FocusMark, AClickMovesTheFocusOnlyFromTheOldTab) {
    SmallWindow w;
    w.button->setFocus(Qt::MouseFocusReason);
    w.pages->tabButton(1)->click();
    EXPECT_TRUE(w.button->hasFocus());
    w.pages->tabButton(1)->setFocus(Qt::MouseFocusReason);
    w.pages->tabButton(0)->click();
    EXPECT_TRUE(w.pages->tabButton(0)->hasFocus());
    EXPECT_EQ(w.pages->tabButton(1)->focusPolicy(), Qt::NoFocus);
}
