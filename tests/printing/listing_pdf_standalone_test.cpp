// The PDF report from a process without a Qt application, as `payxref search`
// runs: the writer starts one for the call and the file comes out whole.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/listing_pdf.h"

namespace {

std::string PdfText(const std::filesystem::path& pdf) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(("pdftotext '" + pdf.string() + "' - 2>/dev/null").c_str(), "r"),
                                               ::pclose);
    std::string out;
    char buffer[4096];
    std::size_t n = 0;
    while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
    return out;
}

TEST(ListingPdfWithoutApplication, StartsOneForTheCallAndEndsIt) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    std::string pattern = (std::filesystem::temp_directory_path() / "listing-pdf-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path pdf = std::filesystem::path(pattern) / "report.pdf";
    // Twice: a second report in the same process starts afresh.
    for (const char* row : {"Row one", "Row two"}) {
        app::WriteListingPdf(pdf.string(), "/srv/practice - 2026-12-10", {"C:\\Practice\\ZTDDF.LDD", "", row});
        EXPECT_EQ(QCoreApplication::instance(), nullptr);
        const std::string text = PdfText(pdf);
        EXPECT_NE(text.find(row), std::string::npos) << text;
        EXPECT_NE(text.find("Page 1 of 1"), std::string::npos) << text;
    }
    std::filesystem::remove_all(pattern);
}

}  // namespace
