// The output pane: CR LF line ends and its capacity.
#include <gtest/gtest.h>

#include "app/rich_edit.h"
#include "framework/exceptions.h"

TEST(RichEdit, LinesEndWithCarriageReturnAndLineFeed) {
    TRichEdit pane;
    pane.AppendLine("first");
    pane.AppendLine("");
    pane.AppendLine("third");
    EXPECT_EQ(pane.Text(), "first\r\n\r\nthird\r\n");
    EXPECT_EQ(pane.toPlainText(), "first\n\nthird\n");
    pane.ClearText();
    EXPECT_EQ(pane.TextLength(), 0);
    EXPECT_EQ(pane.toPlainText(), "");
}

TEST(RichEdit, KeepsThePartThatFitsAndRaisesWhenFull) {
    TRichEdit pane;
    const std::string block(1022, 'x');                   // 1024 with its line end
    for (int i = 0; i < 64; ++i) pane.AppendLine(block);  // exactly fills the pane
    EXPECT_EQ(pane.TextLength(), TRichEdit::Capacity);
    try {
        pane.AppendLine("z");
        FAIL() << "expected the pane to be full";
    } catch (const fw::EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "RichEdit line insertion error");
    }
    EXPECT_EQ(pane.TextLength(), TRichEdit::Capacity);

    pane.ClearText();
    for (int i = 0; i < 63; ++i) pane.AppendLine(block);
    EXPECT_THROW(pane.AppendLine(std::string(2000, 'w')), fw::EOutOfResources);
    EXPECT_EQ(pane.TextLength(), TRichEdit::Capacity);
    EXPECT_EQ(pane.Text().substr(63 * 1024), std::string(1024, 'w'));
}
