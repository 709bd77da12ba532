#include "app/design_font.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <cmath>

namespace app {

QFont DesignFont(int dpi) {
    const QString family = QFontDatabase::families().contains(QStringLiteral("Tahoma"))
                               ? QStringLiteral("Tahoma")
                               : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
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
