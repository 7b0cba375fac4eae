// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>
#include <functional>

#include "widgets/controls.h"

namespace widgets {

namespace {

// The widget's own accessible name, without Qt's fallback to the title of the group box
// around it: every panel in "Info" would otherwise be called "Info".
QString ownName(const QWidget* widget) {
    if (!widget->accessibleName().isEmpty()) return widget->accessibleName();
    if (const QWidget* parent = widget->parentWidget()) {
        for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            if (label->buddy() == widget) return label->text();
    }
    return QString();
}

class NamedWidget : public QAccessibleWidget {
  public:
    NamedWidget(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? ownName(widget()) : QAccessibleWidget::text(t);
    }
};

// A control that shows a text under a name: "Core speed" showing "2096.62". The text is read
// through the text interface, so it is never taken from a stale cache, and its place on
// screen is given for screen readers that review the window line by line.
class ShownText : public NamedWidget, public QAccessibleTextInterface {
  public:
    ShownText(QWidget* widget, Qt::Alignment alignment, std::function<QString()> shown)
        : NamedWidget(widget, QAccessible::StaticText),
          alignment_(alignment),
          shown_(std::move(shown)) {}

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? shown_() : NamedWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return NamedWidget::interface_cast(type);
    }

    QString text(int start, int end) const override { return shown_().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(shown_().size()); }

    QRect characterRect(int offset) const override {
        const QString shown = shown_();
        if (offset < 0 || offset >= shown.size()) return QRect();
        const QFontMetrics metrics(widget()->font());
        const QRect line = textLine(shown, metrics);
        const QRect local(line.x() + metrics.horizontalAdvance(shown.left(offset)), line.y(),
                          metrics.horizontalAdvance(shown.at(offset)), line.height());
        return local.translated(widget()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint& point) const override {
        for (int i = 0; i < characterCount(); ++i)
            if (characterRect(i).contains(point)) return i;
        return -1;
    }

    // Read only: no caret, no selection, no attributes, nothing to scroll.
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    int selectionCount() const override { return 0; }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return QString();
    }

  private:
    QRect textLine(const QString& shown, const QFontMetrics& metrics) const {
        const QSize size(metrics.horizontalAdvance(shown), metrics.height());
        return QStyle::alignedRect(Qt::LeftToRight, alignment_, size, widget()->rect());
    }

    Qt::Alignment alignment_;
    std::function<QString()> shown_;
};

// Panel15: a button whose caption ("ON"/"OFF") is its name.
class PanelButton : public NamedWidget {
  public:
    explicit PanelButton(Panel* panel) : NamedWidget(panel, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<Panel*>(widget())->caption();
        return NamedWidget::text(t);
    }
    QStringList actionNames() const override {
        return QStringList(pressAction()) + NamedWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            static_cast<Panel*>(widget())->click();
        } else {
            NamedWidget::doAction(action);
        }
    }
};

class PictureView : public NamedWidget {
  public:
    explicit PictureView(Picture* picture) : NamedWidget(picture, QAccessible::Graphic) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Description) return static_cast<Picture*>(widget())->description();
        return NamedWidget::text(t);
    }
};

class PageTabView : public NamedWidget {
  public:
    explicit PageTabView(PageTab* tab) : NamedWidget(tab, QAccessible::PageTab) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return tab()->text().trimmed();
        return NamedWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = NamedWidget::state();
        s.selectable = true;
        s.selected = tab()->isChecked();
        return s;
    }
    QStringList actionNames() const override {
        return QStringList(pressAction()) + NamedWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            tab()->click();
        } else {
            NamedWidget::doAction(action);
        }
    }

  private:
    PageTab* tab() const { return static_cast<PageTab*>(widget()); }
};

QAccessibleInterface* accessibleView(const QString& className, QObject* object) {
    if (className == QLatin1String("widgets::Panel")) {
        auto* panel = static_cast<Panel*>(object);
        switch (panel->kind()) {
            case Panel::Kind::Value:
                return new ShownText(panel, Qt::AlignCenter, [panel] { return panel->caption(); });
            case Panel::Kind::Button:
                return new PanelButton(panel);
            case Panel::Kind::Frame:
                return new NamedWidget(panel, QAccessible::Pane);
        }
    }
    if (className == QLatin1String("widgets::FigureLabel")) {
        auto* label = static_cast<FigureLabel*>(object);
        return new ShownText(label, label->alignment(), [label] { return label->text(); });
    }
    if (className == QLatin1String("widgets::Picture"))
        return new PictureView(static_cast<Picture*>(object));
    if (className == QLatin1String("widgets::PageTab"))
        return new PageTabView(static_cast<PageTab*>(object));
    if (className == QLatin1String("widgets::TabRow"))
        return new NamedWidget(static_cast<QWidget*>(object), QAccessible::PageTabList);
    return nullptr;
}

}  // namespace

void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&accessibleView);
        return true;
    }();
    (void)installed;
}

void announceTextChange(QObject* control, const QString& before, const QString& after) {
    if (!QAccessible::isActive()) return;  // no screen reader, nothing to build
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(control);
    if (!view) return;
    if (view->textInterface()) {
        QAccessibleTextUpdateEvent event(control, 0, before, after);
        QAccessible::updateAccessibility(&event);
    } else {
        QAccessibleEvent event(control, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

}  // namespace widgets
