#pragma once
// The horizontal progress bar: a floating-point value between Min and Max
// shown as a filled part and a centred text (by default the percentage).
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "framework/format.h"
#include "ui/progress_bar_properties.h"
#include "ui/progress_bar_view_info.h"

class TpxProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit TpxProgressBar(QWidget* parent = nullptr);

    double Position() const { return position_; }
    // An unchanged value does nothing. Otherwise, unless loading, the value is
    // clamped into [Min, Max] when Max > Min; then the bar repaints, at most
    // once a frame: a search steps it once per row, thousands of times a
    // second, and the steps within a frame are painted together.
    void SetPosition(double position);

    TpxProgressBarProperties& Properties() { return properties_; }
    const TpxProgressBarProperties& Properties() const { return properties_; }
    const TpxCustomProgressBarViewInfo& ViewInfo() const { return viewInfo_; }

    // While the owner is being built from its stored description, values are
    // taken as they come; ending the load clamps the value once.
    void SetLoading(bool loading);
    bool Loading() const { return loading_; }

    // The height follows the font (one line plus the frame) while on.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    int AutoHeight() const;

    // Used by the pxtsPosition text style.
    void SetFormatSettings(const fw::FormatSettings& settings);

    // Number of repaints the bar has asked for; lets callers see that a change
    // that alters nothing does not repaint.
    std::uint64_t InvalidateCount() const { return invalidateCount_; }

    // Draws the whole bar into an image of the widget's size; paintEvent
    // copies exactly this image to the screen.
    QImage Render() const;
    // The part of that image within `area` (widget coordinates), drawn alone:
    // a row's step usually moves only the few pixels at the fill's edge.
    QImage Render(const QRect& area) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Frame around the inner rectangle: a one-pixel line and a one-pixel gap.
    static constexpr int FrameWidth = 2;
    // Least time between two repaints asked for by position steps.
    static constexpr int FrameMs = 16;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QRect InnerRect() const;
    // True when `area` lies inside the frame, clear of the text's glyphs as
    // the current text mask knows them: nothing there but fill and background.
    bool IsPlainStrip(const QRect& area) const;
    void PropertiesChanged();
    // Recomputes the drawing state and asks for a repaint.
    void Invalidate();
    void ApplyAutoSize();
    void ClampPosition();
    // Asks for `area` to be repainted now, or with the next frame when the
    // last position repaint was asked for less than a frame ago.
    void RepaintStep(const QRect& area);
    void FlushStep();

    TpxProgressBarProperties properties_;
    TpxCustomProgressBarViewInfo viewInfo_;
    fw::FormatSettings settings_;
    double position_ = 0;
    bool loading_ = false;
    bool autoSize_ = true;
    std::uint64_t invalidateCount_ = 0;
    QRect pendingStep_;        // what position steps changed since the last repaint
    QElapsedTimer sinceStep_;  // since the last repaint a step asked for
    QTimer stepTimer_;         // single shot: the next frame's repaint
    // The inverted text's glyph coverage, kept while text, place and font
    // stay: the fill moves far more often than the percentage changes.
    struct TextMask {
        QImage image;
        QString text;
        QRect rect;
        QFont font;
        QRect covered;  // where the glyphs are: the only pixels to invert
    };
    mutable TextMask textMask_;
};
