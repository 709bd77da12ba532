#pragma once
// Printing to a PDF file through a printer set up here (no dialog), and
// reading the file back with poppler's pdfinfo and pdftotext.
#include <gtest/gtest.h>

#include <QMarginsF>
#include <filesystem>
#include <memory>
#include <string>

#include "app/rich_edit.h"

class QPrinter;

namespace printtest {

// Output of a command run through the shell.
std::string Shell(const std::string& command);

// Whitespace-insensitive form of a text: every run of blanks, tabs, line
// ends and form feeds becomes one blank, none at either end. Text laid out
// into lines and pages compares equal to the text it came from.
std::string Collapse(const std::string& text);

struct PdfPage {
    double width = 0, height = 0;                       // in points
    double xMin = 1e9, yMin = 1e9, xMax = 0, yMax = 0;  // bounding box of the words printed
    int words = 0;
};

class PrintTest : public ::testing::Test {
protected:
    // A4, 15 mm margins left and right, 20 mm top and bottom.
    static constexpr double kPageWidthPt = 595.276, kPageHeightPt = 841.89;
    static const QMarginsF kMarginsMm;

    void SetUp() override;
    void TearDown() override;

    // A printer writing `file`, installed as the current printer.
    QPrinter& InstallPdfPrinter(const std::filesystem::path& file);
    std::filesystem::path Pdf(const std::string& name) const { return folder_ / (name + ".pdf"); }

    static int PageCount(const std::filesystem::path& pdf);
    static std::string Title(const std::filesystem::path& pdf);
    // The text of one page (from 1), or of all when page is 0.
    static std::string Text(const std::filesystem::path& pdf, int page = 0);
    static PdfPage Page(const std::filesystem::path& pdf, int page);

    std::unique_ptr<TRichEdit> pane_;
    std::filesystem::path folder_;
};

}  // namespace printtest
