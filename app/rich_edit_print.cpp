// Printing the pane: the page loop over a format-range operation that lays
// out the pane's text, from a given character, into a page rectangle.
#include <QPainter>
#include <QPaintDevice>
#include <QTextLayout>
#include <vector>

#include "app/printer.h"
#include "app/rich_edit.h"

namespace {

constexpr int kTwipsPerInch = 1440;

// The pane's font at its size in points, for a device of any resolution.
QFont PrintFont(const QFont& paneFont, int paneDpiY, QPaintDevice* device) {
    QFont font(paneFont);
    if (paneFont.pixelSize() > 0 && paneDpiY > 0) font.setPointSizeF(paneFont.pixelSize() * 72.0 / paneDpiY);
    return QFont(font, device);
}

// The length of the line end at `at` (CR LF, CR or LF), 0 for none.
int LineEndAt(const std::string& text, std::size_t at) {
    if (at >= text.size()) return 0;
    if (text[at] == '\r') return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    return text[at] == '\n' ? 1 : 0;
}

}  // namespace

int TRichEdit::FormatRange(QPainter& painter, const QRect& pageRect, const std::string& text, int start,
                           bool render) const {
    const int length = static_cast<int>(text.size());
    if (start < 0 || start > length || pageRect.width() <= 0 || pageRect.height() <= 0 || painter.device() == nullptr)
        return -1;
    const QFont font = PrintFont(this->font(), logicalDpiY(), painter.device());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);

    painter.save();
    painter.setFont(font);
    painter.setPen(Qt::black);
    qreal y = 0;
    bool placedAny = false;
    int pos = start;
    int notPrinted = length;
    while (pos < length) {
        std::size_t end = static_cast<std::size_t>(pos);
        while (end < text.size() && LineEndAt(text, end) == 0) ++end;
        // The pane holds 8-bit text: one character per byte.
        QTextLayout layout(QString::fromLatin1(text.data() + pos, static_cast<qsizetype>(end - pos)), font,
                           painter.device());
        layout.setTextOption(option);
        layout.beginLayout();
        std::vector<QTextLine> placed;
        bool full = false;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(pageRect.width());
            // A line taller than the page still goes on it alone, so that
            // every page takes at least one line.
            if (placedAny && y + line.height() > pageRect.height()) {
                notPrinted = pos + line.textStart();
                full = true;
                break;
            }
            line.setPosition(QPointF(0, y));
            y += line.height();
            placedAny = true;
            placed.push_back(line);
        }
        layout.endLayout();
        if (render)
            for (const QTextLine& line : placed) line.draw(&painter, pageRect.topLeft());
        if (full) break;
        pos = static_cast<int>(end) + LineEndAt(text, end);
    }
    painter.restore();
    return notPrinted;
}

void TRichEdit::PrintDocument(const std::string& title) {
    TPrinter& printer = Printer();
    // The job lays out the text as it is now. Pending events run between
    // pages, so a search may clear and refill the pane meanwhile; it then
    // neither changes this job's text nor its length.
    const std::string text = text_;
    const int length = static_cast<int>(text.size());

    printer.SetTitle(title);
    printer.BeginDoc();
    try {
        // The page in twips from the printable area and the resolution, and
        // back in device pixels for laying out, as a rich-text control does.
        const int dpiX = printer.PixelsPerInchX();
        const int dpiY = printer.PixelsPerInchY();
        const int rightTwips = printer.PageWidth() * kTwipsPerInch / dpiX;
        const int bottomTwips = printer.PageHeight() * kTwipsPerInch / dpiY;
        const QRect page(0, 0, rightTwips * dpiX / kTwipsPerInch, bottomTwips * dpiY / kTwipsPerInch);

        int start = 0;
        while (true) {
            const int next = FormatRange(printer.Canvas(), page, text, start, true);
            // No progress would mean a page that cannot take a line: stop
            // rather than print blank pages for ever.
            if (next >= length || next < 0 || next <= start) break;
            printer.NewPage();
            start = next;
        }
    } catch (...) {
        printer.Abort();
        throw;
    }
    printer.EndDoc();
}
