// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

namespace app {

// Makes the window's faces available: Tahoma from Wine's font package when it is installed,
// otherwise the closest face fontconfig offers. Call once after the application starts.
void loadFonts();

QFont tahoma11();  // the window's font, 11 pixels high
QFont impact16();  // the score panel's font, 16 pixels high

}  // namespace app
