// The output pane: CR LF line ends and its capacity.
#include <gtest/gtest.h>

#include <QFont>
#include <QTextDocument>
#include <QtTest/QTest>
#include <functional>
#include <utility>
#include <vector>

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

namespace {

// The pane's text as its document holds it: each CR LF a single line break.
std::string DocumentText(const TRichEdit& pane) {
    std::string text = pane.Text();
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.erase(at, 1);
    return text;
}

// A pane on screen, far too low for the lines it is given.
struct ShownPane {
    ShownPane() {
        pane.resize(300, 60);
        pane.show();
        for (int i = 0; i < 80; ++i) pane.AppendLine("line " + std::to_string(i));
    }
    TRichEdit pane;
};

}  // namespace

TEST(RichEdit, LinesBelowTheViewWaitAndComeInOrder) {
    // Each way the waiting lines are brought into the document.
    const std::vector<std::pair<const char*, std::function<void(TRichEdit&)>>> cases{
        {"flush", [](TRichEdit& pane) { pane.FlushPendingLines(); }},
        {"key", [](TRichEdit& pane) { QTest::keyClick(&pane, Qt::Key_Down); }},
        {"hide", [](TRichEdit& pane) { pane.hide(); }},
        {"timer", [](TRichEdit& pane) { EXPECT_TRUE(QTest::qWaitFor([&] { return !pane.HasPendingLines(); })); }},
    };
    for (const auto& [name, bringIn] : cases) {
        SCOPED_TRACE(name);
        ShownPane shown;
        TRichEdit& pane = shown.pane;
        ASSERT_TRUE(pane.HasPendingLines());
        // The lines the view shows went in at once.
        EXPECT_TRUE(pane.toPlainText().startsWith("line 0\nline 1\n"));
        EXPECT_LT(pane.toPlainText().size(), DocumentText(pane).size());
        bringIn(pane);
        EXPECT_FALSE(pane.HasPendingLines());
        EXPECT_EQ(pane.toPlainText().toStdString(), DocumentText(pane));
    }
}

TEST(RichEdit, WaitingLinesGoBeforeThePartThatFitsAndClearingDropsThem) {
    ShownPane shown;
    TRichEdit& pane = shown.pane;
    ASSERT_TRUE(pane.HasPendingLines());
    const std::string block(1022, 'x');
    while (pane.TextLength() + 1024 <= TRichEdit::Capacity) pane.AppendLine(block);
    EXPECT_THROW(pane.AppendLine(std::string(2000, 'w')), fw::EOutOfResources);
    EXPECT_EQ(pane.TextLength(), TRichEdit::Capacity);
    EXPECT_FALSE(pane.HasPendingLines());
    EXPECT_EQ(pane.toPlainText().toStdString(), DocumentText(pane));

    ShownPane other;
    ASSERT_TRUE(other.pane.HasPendingLines());
    other.pane.ClearText();
    other.pane.AppendLine("after");
    other.pane.FlushPendingLines();
    EXPECT_EQ(other.pane.toPlainText(), "after\n");
}

TEST(RichEdit, TheDocumentFollowsThePanesFontUnshaped) {
    // The pane's font comes from its window, possibly after the pane exists.
    QWidget window;
    TRichEdit pane(&window);
    window.setFont(QFont(QStringLiteral("DejaVu Sans"), 13));
    const QFont shown = pane.document()->defaultFont();
    EXPECT_EQ(shown.pointSize(), 13);
    EXPECT_EQ(shown.family(), pane.font().family());
    EXPECT_TRUE(shown.styleStrategy() & QFont::PreferNoShaping);
}
