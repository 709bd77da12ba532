// Printing the pane: its text and font handed to the shared page layout.
#include "app/page_print.h"
#include "app/rich_edit.h"

int TRichEdit::FormatRange(QPainter& painter, const QRect& pageRect, const std::string& text, int start,
                           bool render) const {
    return app::FormatTextRange(painter, pageRect, text, start, font(), logicalDpiY(), render);
}

void TRichEdit::PrintDocument(const std::string& title) {
    // The job lays out the text as it is now. Pending events run between
    // pages, so a search may clear and refill the pane meanwhile; it then
    // neither changes this job's text nor its length.
    const std::string text = text_;
    app::PrintText(title, text, font(), logicalDpiY());
}
