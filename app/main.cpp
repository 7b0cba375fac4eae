// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/look.h"
#include "app/tform1.h"
#include "app/tform2.h"
#include "platform/x87.h"
#include "present/captions.h"
#include "widgets/controls.h"

int main(int argc, char** argv) {
    // Invalid operation, division by zero and overflow fault on the x87 unit from here on;
    // threads started later inherit the setting.
    platform::setX87ControlWord(platform::kStartupX87ControlWord);

    QApplication application(argc, argv);
    QApplication::setApplicationName(widgets::qtext(present::kProgramName));
    app::applyLook();

    TForm1 form;
    TForm2 splash;  // hidden until the main window's shown handler needs it
    form.show();
    const int status = QApplication::exec();
    // The window leaves the screen first: the kernel frees a memory test's block of many
    // gigabytes before it closes the connection to the display, and a window that stays for
    // that second looks as if it ignored CLOSE.
    form.hide();
    splash.hide();
    QGuiApplication::sync();
    // CLOSE must end the program at once, and a kernel or a memory-test phase may have
    // seconds to go. Nothing is kept on disk, and what the work changed (its memory, the
    // out-of-memory score, a thread's priority) belongs to the process and ends with it, so
    // work under way is cut short here rather than waited for.
    if (!form.idle()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
