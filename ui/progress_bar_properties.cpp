// The progress bar's options and their change notices.
#include "ui/progress_bar_properties.h"

#include <algorithm>

QColor ToQColor(TColor color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

void TpxProgressBarProperties::SetMax(double value) {
    if (maxAssigned_ && max_ == value) return;
    max_ = value;
    maxAssigned_ = true;
    if (max_ < Min()) {
        min_ = max_;
        minAssigned_ = true;
    }
    overloadValue_ = std::min(overloadValue_, max_);
    peakValue_ = std::min(peakValue_, max_);
    Changed();
}

void TpxProgressBarProperties::SetMin(double value) {
    if (minAssigned_ && min_ == value) return;
    min_ = value;
    minAssigned_ = true;
    if (Max() < min_) {
        max_ = min_;
        maxAssigned_ = true;
    }
    overloadValue_ = std::max(overloadValue_, min_);
    peakValue_ = std::max(peakValue_, min_);
    Changed();
}

double TpxProgressBarProperties::ClampToRange(double value) const { return std::min(Max(), std::max(Min(), value)); }

void TpxProgressBarProperties::SetForegroundImage(const QImage& value) {
    foregroundImage_ = value;
    Changed();
}
