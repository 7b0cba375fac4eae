// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What screen readers learn about Corvane's own controls: Qt knows nothing of a custom-drawn
// panel, picture or tab, so these give each one its role, name, text and actions.

#include <QObject>
#include <QString>

namespace widgets {

// Lets Qt ask for the accessible view of the controls in qt_widgets.h; called by their
// constructors, so it is in place before anything is read. Installs once.
void installAccessibility();

// Tells screen readers that the text a control shows went from `before` to `after`: a text
// change where they read the control's text, a new name where its caption is its name.
void announceTextChange(QObject* control, const QString& before, const QString& after);

}  // namespace widgets
