// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>

#include "app/look.h"
#include "app/tform1.h"
#include "app/tform2.h"
#include "platform/x87.h"
#include "sysinfo/sweep.h"

int main(int argc, char** argv) {
    // Invalid operation, division by zero and overflow fault on the x87 unit from here on;
    // threads started later inherit the setting.
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    // Every sweep and kernel must touch real memory, not the one shared zero page.
    sysinfo::backSweepBuffer();

    QApplication application(argc, argv);
    QApplication::setApplicationName("Corvane");
    app::applyLook();

    TForm1 form;
    TForm2 splash;  // hidden until the main window's shown handler needs it
    form.show();
    return QApplication::exec();
}
