#pragma once
// The progress bar's drawing state: what the bar shows for a given value and
// options, computed once per change so that painting only draws.
#include <QRect>
#include <QString>

#include "framework/format.h"
#include "ui/progress_bar_properties.h"

class TpxCustomProgressBarViewInfo {
public:
    // Recomputes everything from the value, the options and the rectangle
    // inside the frame.
    void Calculate(const TpxProgressBarProperties& properties, double position, const QRect& innerRect,
                   const fw::FormatSettings& settings);

    // Max - Min, or 1 when the two are equal (so an empty range shows 0 %).
    static double Range(double min, double max);
    // min(100, (position - min) * 100 / range), an exact half going to the
    // even neighbour; never below 0.
    static int Percent(double position, double min, double max);
    // trunc(width * (position - min) / range), kept inside [0, width] so a
    // value outside the range never paints outside the bar.
    static int FilledWidth(int width, double position, double min, double max);

    int PercentValue() const { return percent_; }
    const QString& Text() const { return text_; }
    bool ShowText() const { return showText_; }
    const QRect& InnerRect() const { return innerRect_; }
    // The part painted in the bar colour, starting at the inner left edge.
    const QRect& BarRect() const { return barRect_; }

private:
    int percent_ = 0;
    QString text_;
    bool showText_ = true;
    QRect innerRect_;
    QRect barRect_;
};
