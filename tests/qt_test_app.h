// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one QApplication a widget test needs, made on first use with the window's look.

#include <QApplication>

#include "app/look.h"

inline QApplication& testApplication() {
    static int argc = 1;
    static char name[] = "corvane-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        auto* made = new QApplication(argc, argv);
        app::applyLook();
        return made;
    }();
    return *application;
}
