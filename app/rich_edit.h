#pragma once
// The read-only output pane: lines of 8-bit text, each ended by CR LF, with a
// fixed capacity of 65 536 characters (a line end counts two).
#include <QString>
#include <QTextEdit>
#include <QTimer>
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
    // A line that would show goes into the document at once; lines appended
    // below the bottom of the view wait (see FlushPendingLines).
    void AppendLine(const std::string& text);

    // Puts the lines that wait into the document, laid out in one go. Runs
    // on its own shortly after the first of them (PendingLineDelay), on any
    // input to the pane, and when a search ends.
    void FlushPendingLines();
    bool HasPendingLines() const { return !pending_.isEmpty(); }
    static constexpr int PendingLineDelay = 100;  // milliseconds

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

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // True when the document already reaches below the bottom of the view,
    // so that a line added at its end cannot show.
    bool EndIsOutOfView() const;
    void InsertIntoDocument(const QString& lines);
    void UseUnshapedFont();

    std::string text_;
    // Lines of text_ not yet in the document, each ended by a paragraph
    // separator: laying out a line costs as much as a search reading its
    // row, and the lines below the view need it only once someone looks.
    QString pending_;
    QTimer flushTimer_;
};
