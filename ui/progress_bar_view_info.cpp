// What the progress bar shows for a value: the filled width and the text.
#include "ui/progress_bar_view_info.h"

#include <cmath>

namespace {

// Round to nearest with an exact half going to the even neighbour, without
// relying on the floating-point environment's rounding mode.
double RoundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction > 0.5) return lower + 1;
    if (fraction < 0.5) return lower;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

}  // namespace

double TpxCustomProgressBarViewInfo::Range(double min, double max) {
    const double range = max - min;
    return range == 0 ? 1 : range;
}

int TpxCustomProgressBarViewInfo::Percent(double position, double min, double max) {
    const double percent = RoundHalfEven((position - min) * 100 / Range(min, max));
    if (std::isnan(percent)) return 0;
    if (percent >= 100) return 100;
    // A value below Min is only possible while loading or with an empty
    // range; a progress display shows no negative share.
    if (percent <= 0) return 0;
    return static_cast<int>(percent);
}

int TpxCustomProgressBarViewInfo::FilledWidth(int width, double position, double min, double max) {
    const double filled = std::trunc(width * (position - min) / Range(min, max));
    if (!(filled > 0)) return 0;  // also NaN
    if (filled >= width) return width;
    return static_cast<int>(filled);
}

void TpxCustomProgressBarViewInfo::Calculate(const TpxProgressBarProperties& properties, double position,
                                             const QRect& innerRect, const fw::FormatSettings& settings) {
    const double min = properties.Min();
    const double max = properties.Max();
    percent_ = Percent(position, min, max);
    innerRect_ = innerRect;
    barRect_ = QRect(innerRect.left(), innerRect.top(), FilledWidth(innerRect.width(), position, min, max),
                     innerRect.height());
    showText_ = properties.ShowText();
    if (properties.Marquee() || properties.ShowTextStyle() == TpxProgressBarTextStyle::pxtsText) {
        text_ = QString::fromStdString(properties.Text());
    } else if (properties.ShowTextStyle() == TpxProgressBarTextStyle::pxtsPosition) {
        text_ = QString::fromStdString(fw::FormatGeneral15(position, settings));
    } else {
        text_ = QString::number(percent_) + QStringLiteral(" %");
    }
}
