// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The splash window: a borderless picture that covers the start-up identification, the only
// visible window while it runs.

#include <QWidget>

#include "widgets/controls.h"

class TForm2 : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 320;
    static constexpr int kClientHeight = 225;

    // Created hidden; nothing moves it from 350, 250.
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    // One column wider than the window, so the stretched picture's last column is cut.
    widgets::Picture* Image1;
};

// The splash window, as the main window's shown handler reaches it; null when none exists.
extern TForm2* Form2;
