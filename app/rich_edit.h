#pragma once
// The read-only output pane: lines of 8-bit text, each ended by CR LF, with a
// fixed capacity of 65 536 characters (a line end counts two).
#include <QTextEdit>
#include <string>

class QPainter;
class QRect;

class TRichEdit : public QTextEdit {
    Q_OBJECT
public:
    static constexpr int Capacity = 65536;

    explicit TRichEdit(QWidget* parent = nullptr);

    void ClearText();
    // Adds the text as the new last line. When it does not fit, the part that
    // fits stays and EOutOfResources "RichEdit line insertion error" is raised.
    void AppendLine(const std::string& text);

    // The pane's text as it counts it: every line followed by "\r\n".
    const std::string& Text() const { return text_; }
    int TextLength() const { return static_cast<int>(text_.size()); }

    // Prints the whole text as one print job named `title` on the current printer.
    void PrintDocument(const std::string& title);

    // Lays out `text` from character `start` (line ends counting two) into
    // `pageRect` (device pixels of `painter`'s device) in the pane's font,
    // word-wrapped, and draws it when `render` is set. Returns the index of the
    // first character that did not fit (at least text.size() when all did), or
    // -1 when nothing could be laid out.
    int FormatRange(QPainter& painter, const QRect& pageRect, const std::string& text, int start,
                    bool render = true) const;

private:
    std::string text_;
};
