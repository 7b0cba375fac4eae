// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace app {

// The look of the classic desktop: Fusion style, button-face grey, Tahoma 11 pixels.
// Call once the QApplication exists, before any window is built.
void applyLook();

}  // namespace app
