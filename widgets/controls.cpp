// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/controls.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <utility>
#include <vector>

#include "widgets/accessible.h"

namespace widgets {

namespace {
// Draws one bevel of width 1 around `r`: light on top and left for a raised bevel.
void drawBevel(QPainter& painter, QRect r, bool raised, const QPalette& palette) {
    const QColor light = palette.color(QPalette::Light);
    const QColor dark = palette.color(QPalette::Dark);
    painter.setPen(raised ? light : dark);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(raised ? dark : light);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

// The style's focus rectangle inside `area`. The style leaves it out until the keyboard has
// moved the focus in this window, so a mouse user never sees it.
void drawFocusFrame(QPainter& painter, QWidget* widget, QRect area) {
    QStyleOptionFocusRect option;
    option.initFrom(widget);
    option.rect = area;
    option.backgroundColor = widget->palette().color(QPalette::Window);
    widget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, widget);
}

// The step a key takes through a page control's pages: +1, -1, or 0 when it is not one of
// the page keys (Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDown, Ctrl+PgUp).
int pageStep(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (!(modifiers & Qt::ControlModifier) || (modifiers & (Qt::AltModifier | Qt::MetaModifier)))
        return 0;
    switch (event.key()) {
        case Qt::Key_Tab:
            return (modifiers & Qt::ShiftModifier) ? -1 : 1;
        case Qt::Key_Backtab:
        case Qt::Key_PageUp:
            return -1;
        case Qt::Key_PageDown:
            return 1;
        default:
            return 0;
    }
}

// The step Left and Right take from the focused tab.
int arrowStep(const QKeyEvent& event) {
    if (event.modifiers() & ~Qt::KeypadModifier) return 0;
    if (event.key() == Qt::Key_Left) return -1;
    if (event.key() == Qt::Key_Right) return 1;
    return 0;
}
}  // namespace

void setLabelCaption(QLabel* label, const std::string& caption) {
    const QString before = label->text();
    label->setText(QString::fromStdString(caption));
    label->adjustSize();
    // A plain label announces its new text itself, as its name.
    if (qobject_cast<FigureLabel*>(label)) announceTextChange(label, before, label->text());
}

FigureLabel::FigureLabel(const QString& what, const QString& figure, QWidget* parent)
    : QLabel(figure, parent) {
    installAccessibility();
    setAccessibleName(what);
}

Panel::Panel(QWidget* parent, Kind kind, const QString& caption)
    : QFrame(parent), kind_(kind), caption_(caption) {
    installAccessibility();
    // Tab reaches a button panel; a click leaves the focus where it was, as on a tab.
    if (kind_ == Kind::Button) setFocusPolicy(Qt::TabFocus);
}

void Panel::setCaption(const QString& caption) {
    if (caption == caption_) return;
    const QString before = std::exchange(caption_, caption);
    update();
    announceTextChange(this, before, caption_);
}

void Panel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect r = rect().adjusted(0, 0, -1, -1);
    drawBevel(painter, r, true, palette());
    r.adjust(1, 1, -1, -1);
    if (kind_ != Kind::Button) drawBevel(painter, r, false, palette());
    if (!caption_.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, caption_);
    }
    if (hasFocus()) drawFocusFrame(painter, this, rect().adjusted(2, 2, -2, -2));
}

void Panel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}

// Space or Enter is a click, once per press: holding the key down does not switch the
// clock refresh on and off with every repeat.
void Panel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool clickKey = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (kind_ != Kind::Button || !clickKey || (event->modifiers() & ~Qt::KeypadModifier)) {
        QFrame::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat()) emit clicked();
}

Picture::Picture(QWidget* parent) : QWidget(parent) {
    installAccessibility();
}

void Picture::setImage(const QImage& image) {
    image_ = image;
    update();
    if (describe_ && QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void Picture::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

PageTab::PageTab(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    installAccessibility();
    setFlat(true);
    setCheckable(true);
    setAutoExclusive(true);
}

// Left and Right go to the page control, which shows the page as a click does; a button's own
// handling of them would move along the row by its own rules.
void PageTab::keyPressEvent(QKeyEvent* event) {
    if (arrowStep(*event) != 0) {
        event->ignore();
        return;
    }
    QPushButton::keyPressEvent(event);
}

PageControl::PageControl(QWidget* parent)
    : QWidget(parent), tabRow_(new TabRow(this)), pages_(new QStackedWidget(this)) {
    installAccessibility();
}

QWidget* PageControl::addPage(const QString& tabCaption) {
    const int index = pages_->count();
    auto* page = new QWidget;
    pages_->addWidget(page);

    auto* tab = new PageTab(tabCaption, tabRow_);
    const int x = tabs_.isEmpty() ? 2 : tabs_.back()->geometry().right() + 4;
    const int width = QFontMetrics(font()).horizontalAdvance(tabCaption) + 10;
    tab->setGeometry(x, 2, width, kTabRowHeight - 6);
    tab->setChecked(index == 0);
    // One stop in the Tab order for the whole row: the selected tab's.
    tab->setFocusPolicy(index == 0 ? Qt::TabFocus : Qt::NoFocus);
    connect(tab, &QPushButton::clicked, this, [this, index] { setCurrentIndex(index); });
    tabs_.push_back(tab);
    layoutPages();
    return page;
}

void PageControl::setCurrentIndex(int index) {
    showPage(index, false);
}

void PageControl::showPage(int index, bool byKeyboard) {
    if (index < 0 || index >= pages_->count()) return;
    PageTab* const before = tabs_.value(pages_->currentIndex());
    // A click moves the focus on only when it sat on the old tab, which no longer takes it.
    const bool focusOnTab = byKeyboard || (before && window()->focusWidget() == before);
    tabs_[index]->setChecked(true);
    for (PageTab* tab : tabs_)
        tab->setFocusPolicy(tab == tabs_[index] ? Qt::TabFocus : Qt::NoFocus);
    // The focus goes to the new tab before the old page hides, so it never passes through
    // whatever follows the old page in the Tab order.
    if (focusOnTab) {
        if (byKeyboard) window()->setAttribute(Qt::WA_KeyboardFocusChange);
        tabs_[index]->setFocus(byKeyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
    }
    if (index == pages_->currentIndex()) return;
    pages_->setCurrentIndex(index);
    if (QAccessible::isActive()) {
        QAccessibleEvent removed(before, QAccessible::SelectionRemove);
        QAccessible::updateAccessibility(&removed);
        QAccessibleEvent added(tabs_[index], QAccessible::SelectionAdd);
        QAccessible::updateAccessibility(&added);
    }
    emit pageShown(index);
}

void PageControl::keyPressEvent(QKeyEvent* event) {
    const int count = pages_->count();
    if (const int step = pageStep(*event); step != 0 && count > 1) {
        int index = pages_->currentIndex() + step;
        // Cycles round, except while the key repeats: a held key stops at the end.
        if (index < 0 || index >= count) {
            if (event->isAutoRepeat()) return;
            index = (index + count) % count;
        }
        showPage(index, true);
        return;
    }
    const int step = arrowStep(*event);
    if (step != 0 && tabs_.contains(window()->focusWidget())) {
        showPage(pages_->currentIndex() + step, true);  // stops at either end, no cycling
        return;
    }
    QWidget::keyPressEvent(event);
}

void PageControl::resizeEvent(QResizeEvent*) {
    layoutPages();
}

// Places the tab row, the page area and every page at once, so the pages have their size
// before the window is first shown.
void PageControl::layoutPages() {
    tabRow_->setGeometry(0, 0, width(), kTabRowHeight);
    const QRect area(kMargin, kTabRowHeight, width() - 2 * kMargin,
                     height() - kTabRowHeight - kMargin);
    pages_->setGeometry(area);
    for (int i = 0; i < pages_->count(); ++i)
        pages_->widget(i)->setGeometry(0, 0, area.width(), area.height());
}

void setFocusOrder(std::initializer_list<QWidget*> widgets) {
    // setTabOrder leaves out widgets that take no focus, so each takes it for the moment.
    std::vector<std::pair<QWidget*, Qt::FocusPolicy>> policies;
    for (QWidget* widget : widgets) {
        policies.emplace_back(widget, widget->focusPolicy());
        if (widget->focusPolicy() == Qt::NoFocus) widget->setFocusPolicy(Qt::TabFocus);
    }
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (previous) QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
    for (const auto& [widget, policy] : policies) widget->setFocusPolicy(policy);
}

}  // namespace widgets
