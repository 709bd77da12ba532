// The page loop behind the Print button and the PDF report: a format-range
// operation that lays out text from a given character into a page rectangle,
// called page after page on the current printer.
#include "app/page_print.h"

#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <vector>

#include "app/printer.h"

namespace app {
namespace {

constexpr int kTwipsPerInch = 1440;

// The length of the line end at `at` (CR LF, CR or LF), 0 for none.
int LineEndAt(const std::string& text, std::size_t at) {
    if (at >= text.size()) return 0;
    if (text[at] == '\r') return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    return text[at] == '\n' ? 1 : 0;
}

// Where the page after one that started at `start` and stopped at `next`
// starts, or -1 when that page was the last. No progress would mean a page
// that cannot take a line: the job stops rather than print blank pages for ever.
int FollowingPage(int start, int next, int length) { return next >= length || next < 0 || next <= start ? -1 : next; }

// The page in twips from the printable area and the resolution, and back in
// device pixels for laying out, as a rich-text control does.
QRect PrintablePage(TPrinter& printer) {
    const int dpiX = printer.PixelsPerInchX();
    const int dpiY = printer.PixelsPerInchY();
    const int rightTwips = printer.PageWidth() * kTwipsPerInch / dpiX;
    const int bottomTwips = printer.PageHeight() * kTwipsPerInch / dpiY;
    return {0, 0, rightTwips * dpiX / kTwipsPerInch, bottomTwips * dpiY / kTwipsPerInch};
}

// The number of pages the text takes in `body`, laid out without drawing.
int CountPages(QPainter& painter, const QRect& body, const std::string& text, const QFont& font, int fontDpiY) {
    const int length = static_cast<int>(text.size());
    int pages = 1;
    for (int start = 0;; ++pages) {
        start = FollowingPage(start, FormatTextRange(painter, body, text, start, font, fontDpiY, false), length);
        if (start < 0) return pages;
    }
}

}  // namespace

QFont PrintFont(const QFont& font, int fontDpiY, QPaintDevice* device) {
    QFont sized(font);
    if (font.pixelSize() > 0 && fontDpiY > 0) sized.setPointSizeF(font.pixelSize() * 72.0 / fontDpiY);
    return QFont(sized, device);
}

int FormatTextRange(QPainter& painter, const QRect& pageRect, const std::string& text, int start, const QFont& paneFont,
                    int fontDpiY, bool render) {
    const int length = static_cast<int>(text.size());
    if (start < 0 || start > length || pageRect.width() <= 0 || pageRect.height() <= 0 || painter.device() == nullptr)
        return -1;
    const QFont font = PrintFont(paneFont, fontDpiY, painter.device());
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
        // The text is 8-bit: one character per byte.
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

void PrintText(const std::string& title, const std::string& text, const QFont& font, int fontDpiY,
               const IPageFrame* frame) {
    TPrinter& printer = Printer();
    const int length = static_cast<int>(text.size());
    printer.SetTitle(title);
    printer.BeginDoc();
    try {
        const QRect page = PrintablePage(printer);
        const QFont deviceFont = PrintFont(font, fontDpiY, printer.Canvas().device());
        const QRect body = frame != nullptr ? frame->Body(printer.Canvas(), page, deviceFont) : page;
        // Only a frame numbers its pages, so only a frame needs the count first.
        const int count = frame != nullptr ? CountPages(printer.Canvas(), body, text, font, fontDpiY) : 0;
        for (int number = 1, start = 0;; ++number) {
            QPainter& canvas = printer.Canvas();
            if (frame != nullptr) frame->Draw(canvas, page, deviceFont, number, count);
            start = FollowingPage(start, FormatTextRange(canvas, body, text, start, font, fontDpiY, true), length);
            if (start < 0) break;
            printer.NewPage();
        }
    } catch (...) {
        printer.Abort();
        throw;
    }
    printer.EndDoc();
}

}  // namespace app
