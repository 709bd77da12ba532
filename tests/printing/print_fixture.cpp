// Printing to a PDF file without a dialog, and reading the pages back with poppler.
#include "print_fixture.h"

#include <stdlib.h>

#include <QApplication>
#include <QFontDatabase>
#include <QPrinter>
#include <charconv>
#include <cstdio>

#include "app/design_font.h"
#include "app/printer.h"

namespace printtest {

const QMarginsF PrintTest::kMarginsMm{15, 20, 15, 20};

std::string Shell(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return {};
    std::string out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
    return out;
}

std::string Collapse(const std::string& text) {
    std::string out;
    bool blank = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

void PrintTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "printing-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    pane_ = std::make_unique<TRichEdit>();
    pane_->setFont(app::DesignFont(app::DesignDpi));
    ASSERT_EQ(pane_->font().family(), "Tahoma");
}

void PrintTest::TearDown() {
    pane_.reset();
    TPrinter& printer = Printer();
    if (printer.Printing()) printer.Abort();
    printer.Reset();
    printer.SetDefaultPrinterSource([] { return QPrinterInfo::defaultPrinter(); });
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

QPrinter& PrintTest::InstallPdfPrinter(const std::filesystem::path& file) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(file.string()));
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageMargins(kMarginsMm, QPageLayout::Millimeter);
    QPrinter& ref = *printer;
    Printer().Install(std::move(printer));
    return ref;
}

int PrintTest::PageCount(const std::filesystem::path& pdf) {
    const std::string info = Shell("pdfinfo '" + pdf.string() + "' 2>/dev/null");
    const auto at = info.find("\nPages:");
    if (at == std::string::npos) return -1;
    const std::size_t digits = info.find_first_of("0123456789", at);
    int pages = -1;
    std::from_chars(info.data() + digits, info.data() + info.size(), pages);
    return pages;
}

std::string PrintTest::Title(const std::filesystem::path& pdf) {
    const std::string info = Shell("pdfinfo '" + pdf.string() + "' 2>/dev/null");
    const auto at = info.find("Title:");
    if (at == std::string::npos) return {};
    const std::size_t begin = info.find_first_not_of(' ', at + 6);
    return info.substr(begin, info.find('\n', begin) - begin);
}

std::string PrintTest::Text(const std::filesystem::path& pdf, int page) {
    const std::string range = page > 0 ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
    return Shell("pdftotext -enc UTF-8" + range + " '" + pdf.string() + "' - 2>/dev/null");
}

namespace {

double Attribute(const std::string& tag, const std::string& name) {
    const auto at = tag.find(name + "=\"");
    if (at == std::string::npos) return 0;
    double v = 0;
    const char* begin = tag.data() + at + name.size() + 2;
    std::from_chars(begin, tag.data() + tag.size(), v);
    return v;
}

}  // namespace

PdfPage PrintTest::Page(const std::filesystem::path& pdf, int page) {
    const std::string n = std::to_string(page);
    const std::string html = Shell("pdftotext -bbox -f " + n + " -l " + n + " '" + pdf.string() + "' - 2>/dev/null");
    PdfPage result;
    const auto pageTag = html.find("<page ");
    if (pageTag != std::string::npos) {
        const std::string tag = html.substr(pageTag, html.find('>', pageTag) - pageTag);
        result.width = Attribute(tag, "width");
        result.height = Attribute(tag, "height");
    }
    for (auto at = html.find("<word "); at != std::string::npos; at = html.find("<word ", at + 1)) {
        const std::string tag = html.substr(at, html.find('>', at) - at);
        result.xMin = std::min(result.xMin, Attribute(tag, "xMin"));
        result.yMin = std::min(result.yMin, Attribute(tag, "yMin"));
        result.xMax = std::max(result.xMax, Attribute(tag, "xMax"));
        result.yMax = std::max(result.yMax, Attribute(tag, "yMax"));
        ++result.words;
    }
    return result;
}

}  // namespace printtest

// One application object for the whole run, made before any test and gone
// after all of them, while Qt's services still stand.
int main(int argc, char** argv) {
    // Listing the tests happens without the test environment; no display is needed either way.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The pane's face, which fonts-wine installs outside fontconfig's folders.
    QFontDatabase::addApplicationFont("/usr/share/wine/fonts/tahoma.ttf");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
