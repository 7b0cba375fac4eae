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
    return font;
}

QFont impact16() {
    QFont font("Impact");
    font.setPixelSize(16);
    font.setBold(!QFontDatabase::hasFamily("Impact"));  // the condensed stand-in needs weight
    return font;
}

}  // namespace app
