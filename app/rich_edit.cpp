// The read-only output pane over a text edit, holding at most 65 536
// characters with each line end counted as CR LF.
#include "app/rich_edit.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QPalette>
#include <QScrollBar>
#include <QTextCursor>
#include <utility>

#include "framework/exceptions.h"

TRichEdit::TRichEdit(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    // The selection is shown only while the pane has the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Inactive, QPalette::Base));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Inactive, QPalette::Text));
    setPalette(p);
    UseUnshapedFont();
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(PendingLineDelay);
    connect(&flushTimer_, &QTimer::timeout, this, &TRichEdit::FlushPendingLines);
}

void TRichEdit::ClearText() {
    text_.clear();
    pending_.clear();
    flushTimer_.stop();
    clear();
}

void TRichEdit::AppendLine(const std::string& text) {
    const std::size_t room = Capacity - text_.size();
    const bool fits = text.size() + 2 <= room;
    const std::string kept = fits ? text : text.substr(0, std::min(text.size(), room));
    text_ += kept;
    if (fits) text_ += "\r\n";

    // The document mirrors the text with one block per line; the line and
    // its end go in as one edit.
    QString line = QString::fromLatin1(kept.data(), static_cast<qsizetype>(kept.size()));
    if (fits) line += QChar::ParagraphSeparator;
    if (fits && (HasPendingLines() || EndIsOutOfView())) {
        pending_ += line;
        if (!flushTimer_.isActive()) flushTimer_.start();
        return;
    }
    FlushPendingLines();
    InsertIntoDocument(line);
    if (!fits) throw fw::EOutOfResources("RichEdit line insertion error");
}

void TRichEdit::FlushPendingLines() {
    flushTimer_.stop();
    if (pending_.isEmpty()) return;
    const QString lines = std::exchange(pending_, QString());
    InsertIntoDocument(lines);
}

void TRichEdit::InsertIntoDocument(const QString& lines) {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(lines);
}

bool TRichEdit::EndIsOutOfView() const {
    // Only a pane on screen defers: elsewhere the document is what is read.
    if (!isVisible()) return false;
    const qreal bottom = verticalScrollBar()->value() + viewport()->height();
    return document()->documentLayout()->documentSize().height() > bottom;
}

bool TRichEdit::event(QEvent* event) {
    // Whatever may show or reach the lines below the view brings them in first.
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::Resize:
        case QEvent::Hide: FlushPendingLines(); break;
        default: break;
    }
    return QTextEdit::event(event);
}

void TRichEdit::UseUnshapedFont() {
    // The pane's lines are 8-bit Latin text, which needs no shaping (only
    // kerning would differ); skipping it halves the cost of laying out a line.
    QFont unshaped = font();
    unshaped.setStyleStrategy(QFont::PreferNoShaping);
    document()->setDefaultFont(unshaped);
}

void TRichEdit::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);  // gives the document the widget's font
    if (event->type() == QEvent::FontChange) UseUnshapedFont();
}

bool TRichEdit::viewportEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::Wheel:
        case QEvent::MouseButtonPress:
        case QEvent::Resize: FlushPendingLines(); break;
        default: break;
    }
    return QTextEdit::viewportEvent(event);
}
