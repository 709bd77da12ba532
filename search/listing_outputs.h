#pragma once
// Where a headless listing goes: the chosen format on standard output or in
// the --output file, the totals of --summary, and the lines of the --pdf
// report, all fed from the one pass of the search.
#include <ctime>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/format.h"
#include "search/atomic_output.h"
#include "search/headless_search.h"
#include "search/listing.h"
#include "search/listing_summary.h"
#include "search/search_options.h"

namespace app {

class ListingOutputs : public IListingSink {
public:
    // Opens the --output file's temporary file (OutputFileError).
    ListingOutputs(const SearchOptions& options, const fw::FormatSettings& settings, std::ostream& out);

    // The stream the listing is written to: the file's or standard output.
    std::ostream& ListingStream();
    // True when a receiver needs the figures behind each line.
    bool WantsFigures() const;

    void Head(const std::string& line) override;
    void Payment(const ListedPayment& payment) override;

    // After a search that ended well: the summary on standard output, the
    // file put in place, the PDF written. Throws what fails.
    void Complete(const std::string& folder, const ListingPdfWriter& pdf, std::time_t now);

private:
    void WriteSummary();

    const SearchOptions& options_;
    const fw::FormatSettings& settings_;
    std::ostream& out_;
    std::optional<AtomicOutputFile> file_;
    std::unique_ptr<IListingSink> writer_;
    std::optional<ListingSummary> summary_;
    std::vector<std::string> pdfLines_;
};

// "<folder> — <YYYY-MM-DD>", the local date of `now`.
std::string PdfHeaderLine(const std::string& folder, std::time_t now);

}  // namespace app
