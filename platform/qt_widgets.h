// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few desktop controls Corvane's window layout needs beyond plain Qt widgets:
// bevelled panels, a tab control with flat-button tabs, and a picture box.

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QString>
#include <QVector>
#include <QWidget>
#include <string>

namespace platform {

// Sets a label's caption. Labels size themselves to their text, as the layout has them; a
// plain QLabel would clip "4200 Mb/sec" to the width of its first caption "0".
void setLabelCaption(QLabel* label, const std::string& caption);

// A panel with a raised outer bevel and, for value panels, a lowered inner bevel; its
// caption is drawn centred. A clickable panel emits clicked() on a left-button release.
class Panel : public QFrame {
    Q_OBJECT
  public:
    enum class Bevel { OuterOnly, OuterAndInner };

    Panel(QWidget* parent, Bevel bevel, const QString& caption = QString());

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    Bevel bevel_;
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

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
};

// A tab control whose tabs are flat buttons; the selected tab's button stays pressed.
// Pages sit below the tab row with a 4-pixel margin, as the window layout expects.
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

  private:
    void layoutPages();

    QVector<QPushButton*> tabs_;
    QStackedWidget* pages_;
};

}  // namespace platform
