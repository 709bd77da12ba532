#pragma once
// `payxref search --pdf FILE`: the listing printed to a PDF file through the
// Print button's page layout, without a printer, with a header line and page
// numbers on every page.
#include <string>
#include <vector>

namespace app {

// The job name, which a PDF reader shows as the document's title.
inline constexpr const char* ListingPdfTitle = "Payment Cross Reference Tool";

// Writes `lines` (the listing's lines, UTF-8) to
// the PDF file `path`, each page headed by `headerLine` (UTF-8) and "Page N of
// M". The file appears whole or not at all: it is written beside `path` under
// a temporary name and renamed. Starts an offscreen Qt application for the
// call when the process has none. Failures raise fw::EPrinter with a message
// that names the file and what to do.
void WriteListingPdf(const std::string& path, const std::string& headerLine, const std::vector<std::string>& lines);

}  // namespace app
