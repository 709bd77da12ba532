// The receivers of a headless listing and what happens to them once the
// search has ended well.
#include "search/listing_outputs.h"

#include <ostream>

#include "search/listing_formats.h"
#include "search/table_text.h"

namespace app {

ListingOutputs::ListingOutputs(const SearchOptions& options, const fw::FormatSettings& settings, std::ostream& out)
    : options_(options), settings_(settings), out_(out) {
    if (options.output) file_.emplace(*options.output);
    writer_ = MakeListingWriter(options.format, ListingStream());
    if (options.summary) summary_.emplace();
}

std::ostream& ListingOutputs::ListingStream() { return file_ ? file_->Stream() : out_; }

bool ListingOutputs::WantsFigures() const {
    return options_.format == ListingFormat::Csv || options_.format == ListingFormat::Json || options_.summary;
}

void ListingOutputs::Head(const std::string& line) {
    if (writer_) writer_->Head(line);
    if (options_.pdf) pdfLines_.push_back(Utf8FromTableText(line));
}

void ListingOutputs::Payment(const ListedPayment& payment) {
    if (writer_) writer_->Payment(payment);
    if (summary_) summary_->Payment(payment);
    if (options_.pdf) pdfLines_.push_back(Utf8FromTableText(payment.line));
}

void ListingOutputs::WriteSummary() {
    const bool json = options_.format == ListingFormat::Json;
    const bool afterListing = writer_ && !file_;
    if (json) {
        out_ << summary_->Json().dump() << '\n';
    } else {
        if (afterListing) out_ << '\n';
        for (const std::string& line : summary_->TextLines(settings_)) out_ << line << '\n';
    }
    out_.flush();
}

void ListingOutputs::Complete(const std::string& folder, const ListingPdfWriter& pdf, std::time_t now) {
    if (summary_) WriteSummary();
    if (file_) file_->Commit();
    if (options_.pdf) {
        if (summary_) {
            pdfLines_.push_back("");
            for (const std::string& line : summary_->TextLines(settings_)) pdfLines_.push_back(Utf8FromTableText(line));
        }
        pdf(*options_.pdf, PdfHeaderLine(folder, now), pdfLines_);
    }
}

std::string PdfHeaderLine(const std::string& folder, std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    return folder + " \xE2\x80\x94 " + date;
}

}  // namespace app
