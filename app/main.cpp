#include <QApplication>

#include "app/look.h"
#include "app/tform1.h"
#include "platform/x87.h"

int main(int argc, char** argv) {
    // Invalid operation, division by zero and overflow fault on the x87 unit from here on;
    // threads started later inherit the setting.
    platform::setX87ControlWord(platform::kStartupX87ControlWord);

    QApplication application(argc, argv);
    QApplication::setApplicationName("Corvane");
    app::applyLook();

    TForm1 form;
    form.show();
    return QApplication::exec();
}
