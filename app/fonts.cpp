// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fonts.h"

#include <QFile>
#include <QFontDatabase>

namespace app {

void loadFonts() {
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (QFile::exists(file)) QFontDatabase::addApplicationFont(file);
    }
    QFont::insertSubstitutions("Tahoma", {"DejaVu Sans", "Liberation Sans"});
    QFont::insertSubstitutions("Impact", {"DejaVu Sans Condensed", "Liberation Sans Narrow"});
}

QFont tahoma11() {
    QFont font("Tahoma");
    font.setPixelSize(11);
    // Wine's Tahoma sets a little wider than the face the layout was drawn for: 0.2 px less
    // per character keeps the longest row captions ("Multiplication matrix...") clear of
    // their results.
    font.setLetterSpacing(QFont::AbsoluteSpacing, -0.2);
    return font;
}

QFont impact16() {
    QFont font("Impact");
    font.setPixelSize(16);
    font.setBold(!QFontDatabase::hasFamily("Impact"));  // the condensed stand-in needs weight
    return font;
}

}  // namespace app
