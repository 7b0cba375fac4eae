// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tform2.h"

#include "app/fonts.h"
#include "app/pictures.h"
#include "present/captions.h"
#include "widgets/controls.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    Form2 = this;
    setObjectName("Form2");
    setWindowTitle("Form2");
    // The title is never shown (no frame), but a screen reader would read it out.
    setAccessibleName(widgets::qtext(present::kProgramName));
    setFont(app::tahoma11());
    setAutoFillBackground(true);  // the button-face colour of the application palette
    setGeometry(350, 250, kClientWidth, kClientHeight);

    Image1 = new widgets::Picture(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 321, 225);
    Image1->setImage(app::splashPicture());
    Image1->setAccessibleName(widgets::qtext(present::kProgramName));
}

TForm2::~TForm2() {
    if (Form2 == this) Form2 = nullptr;
}
