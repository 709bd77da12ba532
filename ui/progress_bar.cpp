// The progress bar control: the value setter's rules, the percentage text and
// repainting only when what is shown changes.
#include "ui/progress_bar.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>

namespace {

// Paints `text` centred in `rect` so that every pixel of its glyphs takes the
// inverse of the colour beneath it, which keeps the text legible over the
// filled and the empty part alike. The glyphs are drawn without smoothing so
// that a pixel either belongs to them or not.
QImage TextCoverage(const QSize& size, const QRect& rect, const QString& text, const QFont& font) {
    QImage mask(size, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter painter(&mask);
    QFont sharp(font);
    sharp.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(sharp);
    painter.setPen(Qt::white);
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text);
    return mask;
}

// The smallest rectangle inside rect that holds every covered pixel of mask.
QRect CoveredArea(const QImage& mask, const QRect& rect) {
    QRect covered;
    const QRect area = rect.intersected(mask.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* coverage = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x)
            if (qAlpha(coverage[x]) != 0) covered |= QRect(x, y, 1, 1);
    }
    return covered;
}

// mask: TextCoverage of the bar's full size. `target` holds the bar's pixels
// from `origin` on; `rect` (bar coordinates) bounds the pixels to invert.
void DrawInvertedText(QImage& target, const QPoint& origin, const QRect& rect, const QImage& mask) {
    const QRect area = rect.intersected(QRect(origin, target.size())).intersected(mask.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* coverage = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        auto* pixels = reinterpret_cast<QRgb*>(target.scanLine(y - origin.y())) - origin.x();
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qAlpha(coverage[x]) == 0) continue;
            pixels[x] = qRgb(255 - qRed(pixels[x]), 255 - qGreen(pixels[x]), 255 - qBlue(pixels[x]));
        }
    }
}

}  // namespace

TpxProgressBar::TpxProgressBar(QWidget* parent) : QWidget(parent) {
    // The bar shows a value; it does not take the mouse or the keyboard.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    properties_.SetOnChanged([this] { PropertiesChanged(); });
    stepTimer_.setSingleShot(true);
    connect(&stepTimer_, &QTimer::timeout, this, &TpxProgressBar::FlushStep);
    resize(121, 21);
    ApplyAutoSize();
    viewInfo_.Calculate(properties_, position_, InnerRect(), settings_);
}

void TpxProgressBar::SetPosition(double position) {
    if (position == position_) return;
    const double min = properties_.Min();
    const double max = properties_.Max();
    if (!loading_ && max > min) position = std::min(max, std::max(min, position));
    if (position == position_) return;  // clamped onto the value it already had
    position_ = position;
    // A search advances the bar once per row: most steps move neither the
    // filled part nor the percentage, and need no repaint.
    const QRect bar = viewInfo_.BarRect();
    const QString text = viewInfo_.Text();
    viewInfo_.Calculate(properties_, position_, InnerRect(), settings_);
    if (viewInfo_.BarRect() == bar && viewInfo_.Text() == text) return;
    ++invalidateCount_;
    // With the same text only the strip between the old and the new edge of
    // the fill changes.
    if (viewInfo_.Text() == text)
        RepaintStep(QRegion(bar).xored(QRegion(viewInfo_.BarRect())).boundingRect());
    else
        RepaintStep(rect());
}

void TpxProgressBar::RepaintStep(const QRect& area) {
    pendingStep_ = pendingStep_.united(area);
    if (stepTimer_.isActive()) return;
    if (sinceStep_.isValid() && sinceStep_.elapsed() < FrameMs) {
        stepTimer_.start(static_cast<int>(FrameMs - sinceStep_.elapsed()));
        return;
    }
    FlushStep();
}

void TpxProgressBar::FlushStep() {
    stepTimer_.stop();
    if (pendingStep_.isEmpty()) return;
    update(pendingStep_);
    pendingStep_ = QRect();
    sinceStep_.start();
}

void TpxProgressBar::SetLoading(bool loading) {
    if (loading_ == loading) return;
    loading_ = loading;
    if (!loading_) {
        ClampPosition();
        Invalidate();
    }
}

void TpxProgressBar::ClampPosition() {
    const double min = properties_.Min();
    const double max = properties_.Max();
    if (!loading_ && max > min) position_ = std::min(max, std::max(min, position_));
}

void TpxProgressBar::PropertiesChanged() {
    ClampPosition();
    ApplyAutoSize();
    Invalidate();
}

void TpxProgressBar::SetFormatSettings(const fw::FormatSettings& settings) {
    settings_ = settings;
    Invalidate();
}

void TpxProgressBar::SetAutoSize(bool autoSize) {
    if (autoSize_ == autoSize) return;
    autoSize_ = autoSize;
    if (!autoSize_) {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
    }
    ApplyAutoSize();
    Invalidate();
}

int TpxProgressBar::AutoHeight() const { return fontMetrics().height() + 2 * (FrameWidth + properties_.BorderWidth()); }

void TpxProgressBar::ApplyAutoSize() {
    if (!autoSize_) return;
    setFixedHeight(AutoHeight());
    updateGeometry();
}

QSize TpxProgressBar::sizeHint() const { return {121, autoSize_ ? AutoHeight() : 21}; }

QSize TpxProgressBar::minimumSizeHint() const { return {2 * FrameWidth, autoSize_ ? AutoHeight() : 2 * FrameWidth}; }

QRect TpxProgressBar::InnerRect() const {
    const int margin = FrameWidth + properties_.BorderWidth();
    return rect().adjusted(margin, margin, -margin, -margin);
}

void TpxProgressBar::Invalidate() {
    viewInfo_.Calculate(properties_, position_, InnerRect(), settings_);
    ++invalidateCount_;
    // The whole bar repaints: steps waiting for their frame go with it.
    stepTimer_.stop();
    pendingStep_ = QRect();
    update();
}

QImage TpxProgressBar::Render() const { return Render(rect()); }

QImage TpxProgressBar::Render(const QRect& area) const {
    QImage image(area.size(), QImage::Format_RGB32);
    const QColor background = palette().color(QPalette::Base);
    image.fill(background);
    QPainter painter(&image);
    painter.translate(-area.topLeft());
    // Flat frame: a one-pixel line in the shadow colour around the bar.
    // (Four filled lines: the painter's outlined rectangle strokes a path.)
    const QColor frame = palette().color(QPalette::Mid);
    const int w = width(), h = height();
    painter.fillRect(0, 0, w, 1, frame);
    painter.fillRect(0, h - 1, w, 1, frame);
    painter.fillRect(0, 0, 1, h, frame);
    painter.fillRect(w - 1, 0, 1, h, frame);
    const QRect bar = viewInfo_.BarRect();
    if (!bar.isEmpty()) painter.fillRect(bar, ToQColor(properties_.BeginColor()));
    painter.end();

    if (viewInfo_.ShowText() && !viewInfo_.Text().isEmpty()) {
        if (properties_.SolidTextColor()) {
            QPainter text(&image);
            text.translate(-area.topLeft());
            text.setFont(font());
            text.setPen(palette().color(QPalette::Text));
            text.drawText(viewInfo_.InnerRect(), Qt::AlignCenter | Qt::TextSingleLine, viewInfo_.Text());
        } else {
            TextMask& m = textMask_;
            if (m.image.size() != size() || m.text != viewInfo_.Text() || m.rect != viewInfo_.InnerRect() ||
                m.font != font()) {
                m = TextMask{TextCoverage(size(), viewInfo_.InnerRect(), viewInfo_.Text(), font()), viewInfo_.Text(),
                             viewInfo_.InnerRect(), font(), QRect()};
                m.covered = CoveredArea(m.image, m.rect);
            }
            DrawInvertedText(image, area.topLeft(), m.covered, m.image);
        }
    }
    return image;
}

bool TpxProgressBar::IsPlainStrip(const QRect& area) const {
    if (!viewInfo_.InnerRect().contains(area)) return false;
    if (!viewInfo_.ShowText() || viewInfo_.Text().isEmpty()) return true;
    const TextMask& m = textMask_;
    if (properties_.SolidTextColor() || m.text != viewInfo_.Text() || m.rect != viewInfo_.InnerRect() ||
        m.image.size() != size() || m.font != font())
        return false;
    return !m.covered.intersects(area);
}

void TpxProgressBar::paintEvent(QPaintEvent* event) {
    const QRect area = event->rect().intersected(rect());
    if (area.isEmpty()) return;
    QPainter painter(this);
    // A step of the fill away from the text is two solid rectangles, the
    // same pixels Render gives them.
    if (IsPlainStrip(area)) {
        painter.fillRect(area, palette().color(QPalette::Base));
        const QRect filled = area.intersected(viewInfo_.BarRect());
        if (!filled.isEmpty()) painter.fillRect(filled, ToQColor(properties_.BeginColor()));
        return;
    }
    // Otherwise one copy of the finished image of that part, so the bar
    // never flickers.
    painter.drawImage(area.topLeft(), Render(area));
}

void TpxProgressBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Invalidate();
}

void TpxProgressBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        ApplyAutoSize();
        Invalidate();
    } else if (event->type() == QEvent::PaletteChange) {
        Invalidate();
    }
}
