// Printing the pane into PDF files and reading them back as a reader would.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <charconv>
#include <sstream>
#include <vector>

#include "app/print_action.h"
#include "app/print_dialog.h"
#include "app/printer.h"
#include "framework/exceptions.h"
#include "print_fixture.h"

namespace printtest {
namespace {

constexpr const char* kTitle = "Payment Cross Reference Tool";
constexpr double kMmToPt = 72.0 / 25.4;

void Fill(TRichEdit& pane, const std::string& prefix, int count) {
    for (int i = 1; i <= count; ++i) pane.AppendLine(prefix + " " + std::to_string(i));
}

// The numbers of the lines "<prefix> N" on a page, in reading order.
std::vector<int> Numbers(const std::string& text, const std::string& prefix) {
    std::vector<int> out;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        if (word != prefix) continue;
        int n = 0;
        in >> word;
        std::from_chars(word.data(), word.data() + word.size(), n);
        out.push_back(n);
    }
    return out;
}

std::string Utf8FromLatin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}

TEST_F(PrintTest, ManyLinesFillPrintableAreaPageAfterPage) {
    constexpr int kLines = 400;
    Fill(*pane_, "Line", kLines);
    const auto pdf = Pdf("many");
    InstallPdfPrinter(pdf);
    pane_->PrintDocument(kTitle);

    const int pages = PageCount(pdf);
    ASSERT_GE(pages, 3);
    std::vector<int> all;
    std::size_t perPage = 0;
    for (int p = 1; p <= pages; ++p) {
        SCOPED_TRACE("page " + std::to_string(p));
        const std::vector<int> numbers = Numbers(Text(pdf, p), "Line");
        ASSERT_FALSE(numbers.empty());
        if (p == 1) perPage = numbers.size();
        if (p < pages) {
            EXPECT_EQ(numbers.size(), perPage);
        }
        all.insert(all.end(), numbers.begin(), numbers.end());

        // Inside the printable area, and a full page reaches down to its bottom.
        const PdfPage page = Page(pdf, p);
        EXPECT_NEAR(page.width, kPageWidthPt, 0.5);
        EXPECT_GE(page.xMin, kMarginsMm.left() * kMmToPt - 0.5);
        EXPECT_GE(page.yMin, kMarginsMm.top() * kMmToPt - 0.5);
        EXPECT_LE(page.yMax, kPageHeightPt - kMarginsMm.bottom() * kMmToPt + 0.5);
        if (p < pages) {
            EXPECT_GT(page.yMax, kPageHeightPt - kMarginsMm.bottom() * kMmToPt - 15);
        }
    }
    // Every line once, in order: nothing lost or repeated at a page break.
    std::vector<int> expected(kLines);
    for (int i = 0; i < kLines; ++i) expected[static_cast<std::size_t>(i)] = i + 1;
    EXPECT_EQ(all, expected);
    // Lines of an 8-point face: about 10 points apart.
    EXPECT_GT(perPage, 60u);
    EXPECT_LT(perPage, 90u);
    EXPECT_NE(Shell("pdffonts '" + pdf.string() + "'").find("Tahoma"), std::string::npos);
}

TEST_F(PrintTest, EmptyPanePrintsOneBlankPage) {
    const auto pdf = Pdf("empty");
    InstallPdfPrinter(pdf);
    pane_->PrintDocument(kTitle);
    EXPECT_EQ(PageCount(pdf), 1);
    EXPECT_EQ(Collapse(Text(pdf)), "");
}

TEST_F(PrintTest, JobIsNamedByTitle) {
    pane_->AppendLine("C:\\Practice\\ZTDDF.LDD");
    const auto pdf = Pdf("title");
    InstallPdfPrinter(pdf);
    pane_->PrintDocument(kTitle);
    EXPECT_EQ(Title(pdf), kTitle);
    EXPECT_EQ(Printer().Title(), kTitle);
}

TEST_F(PrintTest, PrintedTextIsThePanesText) {
    pane_->AppendLine("C:\\Practice\\ZTDDF.LDD");
    pane_->AppendLine("");
    pane_->AppendLine("Chart: M\xDCLLER0001 Case: 12 Date: 03/04/2021 Code: PAY Difference: -12.5");
    std::string longLine = "Wrapped:";
    for (int i = 0; i < 60; ++i) longLine += " word" + std::to_string(i);
    pane_->AppendLine(longLine);
    Fill(*pane_, "Row", 150);
    const auto pdf = Pdf("text");
    InstallPdfPrinter(pdf);
    pane_->PrintDocument(kTitle);
    ASSERT_GE(PageCount(pdf), 2);
    EXPECT_EQ(Collapse(Text(pdf)), Collapse(Utf8FromLatin1(pane_->Text())));
}

TEST_F(PrintTest, TwoCopiesProduceTheJobOnce) {
    Fill(*pane_, "Line", 200);
    InstallPdfPrinter(Pdf("one"));
    pane_->PrintDocument(kTitle);
    InstallPdfPrinter(Pdf("two"));
    Printer().SetCopies(2);
    EXPECT_EQ(Printer().Copies(), 2);
    pane_->PrintDocument(kTitle);
    EXPECT_EQ(PageCount(Pdf("two")), PageCount(Pdf("one")));
}

TEST_F(PrintTest, NoPrinterRaisesBeforeTheDialogShows) {
    Printer().SetDefaultPrinterSource([] { return QPrinterInfo(); });
    TPrintDialog dialog;
    bool shown = false;
    dialog.SetOnShow([&](QPrintDialog&) { shown = true; });
    pane_->AppendLine("x");
    for (const auto& attempt : std::vector<std::function<void()>>{[&] { app::PrintPane(dialog, *pane_, kTitle); },
                                                                  [&] { pane_->PrintDocument(kTitle); }}) {
        try {
            attempt();
            ADD_FAILURE() << "no exception";
        } catch (const fw::EPrinter& e) {
            EXPECT_EQ(e.Message(), "There is no default printer currently selected");
        }
    }
    EXPECT_FALSE(shown);
    EXPECT_FALSE(Printer().Printing());
}

// A search clears and refills the pane while the job waits between pages;
// the job prints what the pane held when it started, no more and no less.
TEST_F(PrintTest, RefillWhileJobRunsDoesNotDisturbIt) {
    Fill(*pane_, "Old", 300);
    InstallPdfPrinter(Pdf("reference"));
    pane_->PrintDocument(kTitle);
    const int referencePages = PageCount(Pdf("reference"));
    ASSERT_GE(referencePages, 2);

    InstallPdfPrinter(Pdf("job"));
    int calls = 0;
    int pageDuringRefill = 0;
    std::string secondPrint;
    TPrintDialog dialog;
    QMetaObject::invokeMethod(
        qApp,
        [&] {
            ++calls;
            pageDuringRefill = Printer().PageNumber();
            pane_->ClearText();
            Fill(*pane_, "New", 700);
            // Print pressed again meanwhile.
            try {
                app::PrintPane(dialog, *pane_, kTitle);
            } catch (const fw::EPrinter& e) {
                secondPrint = e.Message();
            }
        },
        Qt::QueuedConnection);
    pane_->PrintDocument(kTitle);

    EXPECT_EQ(calls, 1);
    EXPECT_EQ(pageDuringRefill, 1);
    EXPECT_EQ(secondPrint, "Printing in progress");
    EXPECT_EQ(PageCount(Pdf("job")), referencePages);
    EXPECT_EQ(Collapse(Text(Pdf("job"))), Collapse(Text(Pdf("reference"))));
    EXPECT_EQ(Numbers(Text(Pdf("job")), "New"), std::vector<int>{});
    EXPECT_EQ(pane_->Text().substr(0, 5), "New 1");
    EXPECT_FALSE(Printer().Printing());
}

// The format-range operation on its own, on an image of 96 dpi.
TEST_F(PrintTest, FormatRangeReportsFirstCharacterNotFitting) {
    std::string paragraph;
    for (int i = 0; i < 400; ++i) paragraph += "alpha" + std::to_string(i) + " ";
    const std::string text = "first\r\n" + paragraph + "\r\nlast\r\n";
    QImage image(300, 200, QImage::Format_RGB32);
    QPainter painter(&image);
    const QRect rect(0, 0, 300, 200);
    const int length = static_cast<int>(text.size());

    EXPECT_EQ(pane_->FormatRange(painter, rect, "", 0), 0);
    EXPECT_EQ(pane_->FormatRange(painter, rect, text, length + 1), -1);
    EXPECT_EQ(pane_->FormatRange(painter, QRect(0, 0, 0, 0), text, 0), -1);
    EXPECT_EQ(pane_->FormatRange(painter, rect, "a\r\nb\r\n", 0), 6);

    // Pages of a long paragraph break between words and go on from there.
    std::vector<int> starts{0};
    while (starts.back() < length) {
        const int next = pane_->FormatRange(painter, rect, text, starts.back(), false);
        ASSERT_GT(next, starts.back());
        if (next < length) {
            EXPECT_EQ(text[static_cast<std::size_t>(next) - 1], ' ') << next;
        }
        starts.push_back(next);
        ASSERT_LT(starts.size(), 100u);
    }
    EXPECT_GE(starts.size(), 4u);
}

}  // namespace
}  // namespace printtest
