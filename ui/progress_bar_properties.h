#pragma once
// The options of the progress bar, kept apart from the control so that the
// control's value and its appearance can change independently. Every setter
// that changes something calls the change handler, which the bar uses to
// re-clamp its value, recompute its drawing state and repaint.
#include <QColor>
#include <QImage>
#include <cstdint>
#include <functional>
#include <string>

// A colour as the platform stores it: $00BBGGRR (red in the lowest byte).
using TColor = std::uint32_t;
QColor ToQColor(TColor color);

enum class TpxProgressBarBarStyle {
    pxbsSolid,
    pxbsLEDs,
    pxbsGradient,
    pxbsGradientLEDs,
    pxbsBitmap,
    pxbsBitmapLEDs,
    pxbsAnimation,
    pxbsAnimationLEDs,
};
enum class TpxProgressBarOrientation { pxorHorizontal, pxorVertical };
enum class TpxProgressBarBevelOuter { pxbvNone, pxbvLowered, pxbvRaised };
enum class TpxProgressBarTextStyle { pxtsPercent, pxtsPosition, pxtsText };
enum class TpxProgressBarAnimationPath { pxapCycle, pxapPingPong };

class TpxProgressBarProperties {
public:
    static constexpr double DefaultMin = 0;
    static constexpr double DefaultMax = 100;

    // Until assigned, Min and Max read as their defaults. Assigning the value
    // already assigned does nothing; otherwise Min <= Max is restored by
    // moving the other bound, and the overload and peak values are pulled
    // into the new range.
    double Min() const { return minAssigned_ ? min_ : DefaultMin; }
    double Max() const { return maxAssigned_ ? max_ : DefaultMax; }
    void SetMin(double value);
    void SetMax(double value);
    bool MinAssigned() const { return minAssigned_; }
    bool MaxAssigned() const { return maxAssigned_; }

    TpxProgressBarBarStyle BarStyle() const { return barStyle_; }
    void SetBarStyle(TpxProgressBarBarStyle value) { Assign(barStyle_, value); }
    TpxProgressBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TpxProgressBarOrientation value) { Assign(orientation_, value); }
    TColor BeginColor() const { return beginColor_; }
    void SetBeginColor(TColor value) { Assign(beginColor_, value); }
    TColor EndColor() const { return endColor_; }
    void SetEndColor(TColor value) { Assign(endColor_, value); }
    TpxProgressBarBevelOuter BarBevelOuter() const { return barBevelOuter_; }
    void SetBarBevelOuter(TpxProgressBarBevelOuter value) { Assign(barBevelOuter_, value); }
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value) { Assign(borderWidth_, value < 0 ? 0 : value); }

    bool ShowText() const { return showText_; }
    void SetShowText(bool value) { Assign(showText_, value); }
    TpxProgressBarTextStyle ShowTextStyle() const { return showTextStyle_; }
    void SetShowTextStyle(TpxProgressBarTextStyle value) { Assign(showTextStyle_, value); }
    const std::string& Text() const { return text_; }
    void SetText(const std::string& value) { Assign(text_, value); }
    TpxProgressBarOrientation TextOrientation() const { return textOrientation_; }
    void SetTextOrientation(TpxProgressBarOrientation value) { Assign(textOrientation_, value); }
    bool SolidTextColor() const { return solidTextColor_; }
    void SetSolidTextColor(bool value) { Assign(solidTextColor_, value); }

    bool Marquee() const { return marquee_; }
    void SetMarquee(bool value) { Assign(marquee_, value); }
    TpxProgressBarAnimationPath AnimationPath() const { return animationPath_; }
    void SetAnimationPath(TpxProgressBarAnimationPath value) { Assign(animationPath_, value); }
    int AnimationSpeed() const { return animationSpeed_; }
    void SetAnimationSpeed(int value) { Assign(animationSpeed_, value); }
    std::uint32_t AnimationRestartDelay() const { return animationRestartDelay_; }
    void SetAnimationRestartDelay(std::uint32_t value) { Assign(animationRestartDelay_, value); }

    const QImage& ForegroundImage() const { return foregroundImage_; }
    void SetForegroundImage(const QImage& value);
    bool TransparentImage() const { return transparentImage_; }
    void SetTransparentImage(bool value) { Assign(transparentImage_, value); }

    // Overload and peak values always lie in [Min, Max]; setters clamp.
    bool ShowOverload() const { return showOverload_; }
    void SetShowOverload(bool value) { Assign(showOverload_, value); }
    double OverloadValue() const { return overloadValue_; }
    void SetOverloadValue(double value) { Assign(overloadValue_, ClampToRange(value)); }
    TColor OverloadBeginColor() const { return overloadBeginColor_; }
    void SetOverloadBeginColor(TColor value) { Assign(overloadBeginColor_, value); }
    TColor OverloadEndColor() const { return overloadEndColor_; }
    void SetOverloadEndColor(TColor value) { Assign(overloadEndColor_, value); }
    bool ShowPeak() const { return showPeak_; }
    void SetShowPeak(bool value) { Assign(showPeak_, value); }
    double PeakValue() const { return peakValue_; }
    void SetPeakValue(double value) { Assign(peakValue_, ClampToRange(value)); }
    TColor PeakColor() const { return peakColor_; }
    void SetPeakColor(TColor value) { Assign(peakColor_, value); }
    // A natural number: at least 1.
    int PeakSize() const { return peakSize_; }
    void SetPeakSize(int value) { Assign(peakSize_, value < 1 ? 1 : value); }

    // Called after every effective change; the owning control installs it.
    void SetOnChanged(std::function<void()> handler) { onChanged_ = std::move(handler); }

private:
    template <class T>
    void Assign(T& field, const T& value) {
        if (field == value) return;
        field = value;
        Changed();
    }
    double ClampToRange(double value) const;
    void Changed() const {
        if (onChanged_) onChanged_();
    }

    double min_ = DefaultMin;
    double max_ = DefaultMax;
    bool minAssigned_ = false;
    bool maxAssigned_ = false;
    TpxProgressBarBarStyle barStyle_ = TpxProgressBarBarStyle::pxbsSolid;
    TpxProgressBarOrientation orientation_ = TpxProgressBarOrientation::pxorHorizontal;
    TColor beginColor_ = 0x800000;  // navy
    TColor endColor_ = 0xFFFFFF;    // white
    TpxProgressBarBevelOuter barBevelOuter_ = TpxProgressBarBevelOuter::pxbvNone;
    int borderWidth_ = 0;
    bool showText_ = true;
    TpxProgressBarTextStyle showTextStyle_ = TpxProgressBarTextStyle::pxtsPercent;
    std::string text_;
    TpxProgressBarOrientation textOrientation_ = TpxProgressBarOrientation::pxorHorizontal;
    bool solidTextColor_ = false;
    bool marquee_ = false;
    TpxProgressBarAnimationPath animationPath_ = TpxProgressBarAnimationPath::pxapCycle;
    int animationSpeed_ = 10;
    std::uint32_t animationRestartDelay_ = 0;
    QImage foregroundImage_;
    bool transparentImage_ = true;
    bool showOverload_ = false;
    double overloadValue_ = 80;
    TColor overloadBeginColor_ = 0x8080FF;
    TColor overloadEndColor_ = 0xFF00FF;
    bool showPeak_ = false;
    double peakValue_ = 0;
    TColor peakColor_ = 0x0000FF;  // red
    int peakSize_ = 2;
    std::function<void()> onChanged_;
};
