// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few desktop controls Corvane's window layout needs beyond plain Qt widgets:
// bevelled panels, a tab control with flat-button tabs, and a picture box. Each one also
// answers the keyboard and screen readers the way the desktop's own control does.

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QString>
#include <QVector>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

namespace widgets {

// A caption for Qt from the UTF-8 text the rest of the program words it in.
inline QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Sets a label's caption. Labels size themselves to their text, as the layout has them; a
// plain QLabel would clip "4200 Mb/sec" to the width of its first caption "0".
void setLabelCaption(QLabel* label, const std::string& caption);

// A label that shows a figure with no caption beside it (the free memory and the load over
// the chart): screen readers hear `what` as its name and the figure as its text.
class FigureLabel : public QLabel {
    Q_OBJECT
  public:
    FigureLabel(const QString& what, const QString& figure, QWidget* parent);
};

// A panel with a raised outer bevel and, unless it is a button, a lowered inner bevel.
//  - Value: its caption is a figure, drawn centred; screen readers hear the caption beside it
//    (the label whose buddy it is) as its name and the figure as its text.
//  - Frame: holds other controls, no caption.
//  - Button: a caption that a click switches ("ON"/"OFF"); it takes focus with Tab, and
//    Space or Enter click it.
// Any panel emits clicked() on a left-button release inside it.
class Panel : public QFrame {
    Q_OBJECT
  public:
    enum class Kind { Value, Frame, Button };

    Panel(QWidget* parent, Kind kind, const QString& caption = QString());

    Kind kind() const { return kind_; }
    QString caption() const { return caption_; }
    // Also tells a screen reader, so the figure it reads is the one on screen.
    void setCaption(const QString& caption);
    void click() { emit clicked(); }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    Kind kind_;
    QString caption_;
};

// A picture: shows its image at its top-left corner, unscaled and clipped to the box.
class Picture : public QWidget {
    Q_OBJECT
  public:
    explicit Picture(QWidget* parent);

    const QImage& image() const { return image_; }
    QImage& image() { return image_; }
    void setImage(const QImage& image);

    // What the picture shows, in words, for screen readers; asked again whenever they read
    // it, and announced as changed with every new image.
    void setDescriber(std::function<QString()> describe) { describe_ = std::move(describe); }
    QString description() const { return describe_ ? describe_() : accessibleDescription(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
    std::function<QString()> describe_;
};

// One tab of a PageControl. Screen readers hear it as a page tab named by its caption
// without the blanks that pad it on screen. Its focus ring is the style's push-button one.
class PageTab : public QPushButton {
    Q_OBJECT
  public:
    PageTab(const QString& caption, QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The row that holds a PageControl's tabs: the page tab list of screen readers.
class TabRow : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
};

// A tab control whose tabs are flat buttons; the selected tab's button stays pressed.
// Pages sit below the tab row with a 4-pixel margin, as the window layout expects.
//
// Keyboard, as on the desktop's own tab control: the tab row is one stop in the Tab order
// (the selected tab takes the focus), Left and Right select the neighbouring page, and
// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDown and Ctrl+PgUp cycle the pages from anywhere inside
// the control. A page chosen by keyboard takes the focus to its tab and is shown exactly as
// a click shows it (pageShown).
class PageControl : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTabRowHeight = 28;
    static constexpr int kMargin = 4;

    explicit PageControl(QWidget* parent);

    // Adds a page with the tab caption given, blanks included; returns the page.
    QWidget* addPage(const QString& tabCaption);

    int currentIndex() const { return pages_->currentIndex(); }
    void setCurrentIndex(int index);
    QPushButton* tabButton(int index) const { return tabs_.value(index); }
    QWidget* page(int index) const { return pages_->widget(index); }
    int count() const { return pages_->count(); }

  signals:
    // A page was brought to the front by the user or by setCurrentIndex.
    void pageShown(int index);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showPage(int index, bool byKeyboard);
    void layoutPages();

    TabRow* tabRow_;
    QVector<PageTab*> tabs_;
    QStackedWidget* pages_;
};

// Puts the widgets in this order in the window's Tab chain. Widgets that take no focus at
// the moment (the tabs of pages not shown) get their place too, for when they do.
void setFocusOrder(std::initializer_list<QWidget*> widgets);

}  // namespace widgets
