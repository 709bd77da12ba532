// Finds the Tahoma face (from the Wine fonts when fontconfig does not list it) and
// scales the window's font and layout to the screen's resolution.
#include "app/design_font.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <cmath>

namespace app {

namespace {

// Debian's Wine fonts ship a Tahoma face outside the fontconfig search path.
bool HasTahoma() {
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) return true;
    for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
        QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    return QFontDatabase::families().contains(QStringLiteral("Tahoma"));
}

}  // namespace

QFont DesignFont(int dpi) {
    const QString family =
        HasTahoma() ? QStringLiteral("Tahoma") : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QFont font(family);
    font.setPixelSize(static_cast<int>(std::lround(11.0 * dpi / DesignDpi)));
    font.setStyleHint(QFont::SansSerif);
    return font;
}

double LayoutScale(const QFont& font, int dpi) {
    if (dpi == DesignDpi) return 1.0;
    return static_cast<double>(QFontMetrics(font).height()) / DesignTextHeight;
}

QRect Scaled(const QRect& stored, double scale) {
    const auto s = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
    return {s(stored.x()), s(stored.y()), s(stored.width()), s(stored.height())};
}

}  // namespace app
