// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tform2.h"

#include <QWindow>
#include <chrono>

#include "app/fonts.h"
#include "app/pictures.h"
#include "platform/qt_events.h"
#include "platform/ticks.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    Form2 = this;
    setObjectName("Form2");
    setWindowTitle("Form2");
    setFont(app::tahoma11());
    setAutoFillBackground(true);  // the button-face colour of the application palette
    setGeometry(350, 250, kClientWidth, kClientHeight);

    Image1 = new platform::Picture(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 321, 225);
    Image1->setImage(app::splashPicture());
}

TForm2::~TForm2() {
    if (Form2 == this) Form2 = nullptr;
}

void TForm2::showPainted() {
    show();
    platform::processPendingEvents();
    // An X server maps the window asynchronously, and nothing painted before it reports
    // the window exposed reaches the screen; the identification that follows blocks the
    // thread for over a second, so wait for the exposure here, but never for long.
    constexpr auto kExposureWait = std::chrono::milliseconds(500);
    const auto start = std::chrono::steady_clock::now();
    QWindow* window = windowHandle();
    while (window != nullptr && !window->isExposed() &&
           std::chrono::steady_clock::now() - start < kExposureWait) {
        platform::sleepMs(1);
        platform::processPendingEvents();
    }
    repaint();
    platform::processPendingEvents();  // hands the painted picture to the window system
}
