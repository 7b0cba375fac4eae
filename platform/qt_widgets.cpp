// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt_widgets.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace platform {

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
}  // namespace

void setLabelCaption(QLabel* label, const std::string& caption) {
    label->setText(QString::fromStdString(caption));
    label->adjustSize();
}

Panel::Panel(QWidget* parent, Bevel bevel, const QString& caption)
    : QFrame(parent), bevel_(bevel), caption_(caption) {}

void Panel::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
}

void Panel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect r = rect().adjusted(0, 0, -1, -1);
    drawBevel(painter, r, true, palette());
    r.adjust(1, 1, -1, -1);
    if (bevel_ == Bevel::OuterAndInner) drawBevel(painter, r, false, palette());
    if (!caption_.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, caption_);
    }
}

void Panel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}

Picture::Picture(QWidget* parent) : QWidget(parent) {}

void Picture::setImage(const QImage& image) {
    image_ = image;
    update();
}

void Picture::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

PageControl::PageControl(QWidget* parent) : QWidget(parent), pages_(new QStackedWidget(this)) {}

QWidget* PageControl::addPage(const QString& tabCaption) {
    const int index = pages_->count();
    auto* page = new QWidget;
    pages_->addWidget(page);

    auto* tab = new QPushButton(tabCaption, this);
    tab->setFlat(true);
    tab->setCheckable(true);
    tab->setAutoExclusive(true);
    tab->setFocusPolicy(Qt::NoFocus);
    const int x = tabs_.isEmpty() ? 2 : tabs_.back()->geometry().right() + 4;
    const int width = QFontMetrics(font()).horizontalAdvance(tabCaption) + 10;
    tab->setGeometry(x, 2, width, kTabRowHeight - 6);
    tab->setChecked(index == 0);
    connect(tab, &QPushButton::clicked, this, [this, index] { setCurrentIndex(index); });
    tabs_.push_back(tab);
    layoutPages();
    return page;
}

void PageControl::setCurrentIndex(int index) {
    if (index < 0 || index >= pages_->count()) return;
    tabs_[index]->setChecked(true);
    if (index == pages_->currentIndex()) return;
    pages_->setCurrentIndex(index);
    emit pageShown(index);
}

void PageControl::resizeEvent(QResizeEvent*) {
    layoutPages();
}

// Places the page area and every page at once, so the pages have their size before the
// window is first shown.
void PageControl::layoutPages() {
    const QRect area(kMargin, kTabRowHeight, width() - 2 * kMargin,
                     height() - kTabRowHeight - kMargin);
    pages_->setGeometry(area);
    for (int i = 0; i < pages_->count(); ++i)
        pages_->widget(i)->setGeometry(0, 0, area.width(), area.height());
}

}  // namespace platform
