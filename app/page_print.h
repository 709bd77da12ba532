#pragma once
// The page layout shared by everything that prints a listing: 8-bit text laid
// out line by line, word-wrapped, page after page on the current printer, with
// an optional frame (a header or footer band) drawn around each page's text.
#include <QFont>
#include <QRect>
#include <string>

class QPainter;
class QPaintDevice;

namespace app {

// The listing's face at its size in points, for a device of any resolution:
// `font` as shown on a screen of `fontDpiY` dots per inch.
QFont PrintFont(const QFont& font, int fontDpiY, QPaintDevice* device);

// Lays out `text` (one character per byte, lines ended by CR LF, CR or LF) from
// character `start` into `pageRect` (device pixels of `painter`'s device) in
// `font`, word-wrapped, and draws it when `render` is set. Returns the index of
// the first character that did not fit (at least text.size() when all did),
// or -1 when nothing could be laid out.
int FormatTextRange(QPainter& painter, const QRect& pageRect, const std::string& text, int start, const QFont& font,
                    int fontDpiY, bool render);

// What a page carries besides the text. The text goes into Body; Draw paints
// the rest of the page once its number and the page count are known.
class IPageFrame {
public:
    virtual ~IPageFrame() = default;
    // The part of the printable area `page` that takes the text; `font` is the
    // listing's face on the printer.
    virtual QRect Body(QPainter& painter, const QRect& page, const QFont& font) const = 0;
    virtual void Draw(QPainter& painter, const QRect& page, const QFont& font, int number, int count) const = 0;
};

// Prints the whole `text` as one job named `title` on the current printer
// (TPrinter), every page framed by `frame` when one is given. The job is
// aborted when anything fails; failures arrive as exceptions (EPrinter).
void PrintText(const std::string& title, const std::string& text, const QFont& font, int fontDpiY,
               const IPageFrame* frame = nullptr);

}  // namespace app
