// The PDF report of `payxref search --pdf`: written without a printer through
// the Print button's page layout, read back with poppler as a reader would.
#include <unistd.h>

#include <QLocale>
#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/listing_pdf.h"
#include "app/printer.h"
#include "framework/exceptions.h"
#include "print_fixture.h"

namespace printtest {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHeader = "/srv/practices/M\xC3\xBCller \xE2\x80\x94 2026-12-10";
constexpr double kMmToPt = 72.0 / 25.4;

std::vector<std::string> Listing(int rows) {
    std::vector<std::string> lines{"C:\\Practice\\ZTDDF.LDD", ""};
    for (int i = 1; i <= rows; ++i)
        lines.push_back("Row " + std::to_string(i) + " Chart: M\xDCLLER0001 Case: 12 Difference: -12.5");
    return lines;
}

// The numbers of the lines "Row N" of a text, in reading order.
std::vector<int> RowNumbers(const std::string& text) {
    std::vector<int> out;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        if (word != "Row" || !(in >> word)) continue;
        int n = 0;
        std::from_chars(word.data(), word.data() + word.size(), n);
        out.push_back(n);
    }
    return out;
}

std::string Without(std::string text, const std::string& part) {
    const auto at = text.find(part);
    if (at != std::string::npos) text.erase(at, part.size());
    return text;
}

// A page's text as laid out on it, lines in the order of their height on the page.
std::string LayoutText(const fs::path& pdf, int page) {
    const std::string n = std::to_string(page);
    return Shell("pdftotext -layout -enc UTF-8 -f " + n + " -l " + n + " '" + pdf.string() + "' - 2>/dev/null");
}

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ListingPdfTest : public PrintTest {};

TEST_F(ListingPdfTest, EveryPageCarriesHeaderAndNumberAboveTheListingInOrder) {
    constexpr int kRows = 300;
    const std::vector<std::string> lines = Listing(kRows);
    const fs::path pdf = Pdf("report");
    app::WriteListingPdf(pdf.string(), kHeader, lines);

    const int pages = PageCount(pdf);
    ASSERT_GE(pages, 3);
    EXPECT_EQ(Title(pdf), "Payment Cross Reference Tool");
    EXPECT_NE(Shell("pdffonts '" + pdf.string() + "'").find("Tahoma"), std::string::npos);
    std::vector<int> rows;
    std::string body;
    for (int p = 1; p <= pages; ++p) {
        SCOPED_TRACE("page " + std::to_string(p));
        const std::string text = Text(pdf, p);
        const std::string pageLabel = "Page " + std::to_string(p) + " of " + std::to_string(pages);
        // The header line and the page number share the top line, above the page's first row.
        const std::string laidOut = LayoutText(pdf, p);
        const std::string top = laidOut.substr(0, laidOut.find('\n'));
        EXPECT_NE(top.find(kHeader), std::string::npos) << top;
        EXPECT_NE(top.find(pageLabel), std::string::npos) << top;
        EXPECT_LT(top.find(kHeader), top.find(pageLabel)) << top;
        EXPECT_EQ(top.find("Row "), std::string::npos) << top;
        const std::vector<int> numbers = RowNumbers(text);
        rows.insert(rows.end(), numbers.begin(), numbers.end());
        body += Without(Without(text, kHeader), pageLabel);

        // A4, or US Letter where the locale measures in inches, within the Print tests' margins.
        const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
        const double width = letter ? 612 : kPageWidthPt, height = letter ? 792 : kPageHeightPt;
        const PdfPage page = Page(pdf, p);
        EXPECT_NEAR(page.width, width, 0.5);
        EXPECT_NEAR(page.height, height, 0.5);
        EXPECT_GE(page.xMin, kMarginsMm.left() * kMmToPt - 0.5);
        EXPECT_LE(page.xMax, width - kMarginsMm.right() * kMmToPt + 0.5);
        EXPECT_GE(page.yMin, kMarginsMm.top() * kMmToPt - 0.5);
        EXPECT_LE(page.yMax, height - kMarginsMm.bottom() * kMmToPt + 0.5);
    }
    std::vector<int> expected(kRows);
    for (int i = 0; i < kRows; ++i) expected[static_cast<std::size_t>(i)] = i + 1;
    EXPECT_EQ(rows, expected);
    // Apart from the header band, the pages hold the listing's text itself,
    // 8-bit as the pane holds it.
    std::string listing;
    for (const std::string& line : lines) listing += QString::fromLatin1(line.c_str()).toStdString() + "\n";
    EXPECT_EQ(Collapse(body), Collapse(listing));
    EXPECT_EQ(Entries(folder_), std::vector<std::string>{"report.pdf"});
    EXPECT_FALSE(Printer().HasCurrent());
}

TEST_F(ListingPdfTest, EmptyListingIsOneNumberedPage) {
    const fs::path pdf = Pdf("empty");
    app::WriteListingPdf(pdf.string(), kHeader, {});
    EXPECT_EQ(PageCount(pdf), 1);
    EXPECT_EQ(Collapse(Text(pdf)), Collapse(std::string(kHeader) + " Page 1 of 1"));
}

TEST_F(ListingPdfTest, ReplacesAnEarlierReportWhole) {
    const fs::path pdf = Pdf("again");
    std::ofstream(pdf) << "an older report";
    app::WriteListingPdf(pdf.string(), kHeader, Listing(5));
    EXPECT_NE(Text(pdf).find("Row 5"), std::string::npos);
    EXPECT_EQ(Entries(folder_), std::vector<std::string>{"again.pdf"});
}

// A report that cannot be written says why and what to do, and leaves
// nothing behind: no report, no temporary file.
TEST_F(ListingPdfTest, FailureNamesTheFileAndLeavesNothing) {
    fs::create_directory(folder_ / "locked");
    fs::create_directory(folder_ / "taken.pdf");
    std::ofstream(folder_ / "plain") << "x";
    struct Case {
        std::string name;
        fs::path path;
        std::string reason;
    };
    std::vector<Case> cases{
        {"missing folder", folder_ / "missing" / "r.pdf", "its folder does not exist"},
        {"folder is a file", folder_ / "plain" / "r.pdf", "its folder does not exist"},
        {"name is a folder", folder_ / "taken.pdf", "a folder of that name is in the way"},
        {"no file name", folder_ / "", "that is not a file name"},
    };
    // Permissions do not hold back the superuser.
    if (::geteuid() != 0) {
        fs::permissions(folder_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        cases.push_back({"unwritable folder", folder_ / "locked" / "r.pdf", "its folder cannot be written to"});
    }
    const std::vector<std::string> before = Entries(folder_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            app::WriteListingPdf(c.path.string(), kHeader, Listing(3));
            ADD_FAILURE() << "no exception";
        } catch (const fw::EPrinter& e) {
            EXPECT_NE(e.Message().find("The PDF report could not be written to '" + c.path.string() + "': "),
                      std::string::npos)
                << e.Message();
            EXPECT_NE(e.Message().find(c.reason), std::string::npos) << e.Message();
        }
        EXPECT_EQ(Entries(folder_), before);
        EXPECT_TRUE(fs::is_empty(folder_ / "locked"));
        EXPECT_TRUE(fs::is_empty(folder_ / "taken.pdf"));
        EXPECT_FALSE(Printer().Printing());
    }
    fs::permissions(folder_ / "locked", fs::perms::owner_all);
}

}  // namespace
}  // namespace printtest
