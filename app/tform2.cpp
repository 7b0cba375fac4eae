#include "app/tform2.h"

#include <QWindow>

#include "app/fonts.h"
#include "app/pictures.h"
#include "platform/qt_events.h"

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
    // The window system may not have mapped the window yet when the queue runs dry; paint
    // now anyway so the picture is in place the moment it is exposed.
    repaint();
}
