// The read-only output pane over a text edit, holding at most 65 536
// characters with each line end counted as CR LF.
#include "app/rich_edit.h"

#include <QPalette>
#include <QScrollBar>
#include <QTextCursor>

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
}

void TRichEdit::ClearText() {
    text_.clear();
    clear();
}

void TRichEdit::AppendLine(const std::string& text) {
    const std::size_t room = Capacity - text_.size();
    const bool fits = text.size() + 2 <= room;
    const std::string kept = fits ? text : text.substr(0, std::min(text.size(), room));
    text_ += kept;
    if (fits) text_ += "\r\n";

    // The document mirrors the text with one block per line; the line and
    // its end go in as one edit, laid out once.
    QString line = QString::fromLatin1(kept.data(), static_cast<qsizetype>(kept.size()));
    if (fits) line += QChar::ParagraphSeparator;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(line);
    if (!fits) throw fw::EOutOfResources("RichEdit line insertion error");
}
