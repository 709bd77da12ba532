// Writers of the listing in text, CSV and JSON Lines.
#include "search/listing_formats.h"

#include <charconv>
#include <cstdio>
#include <ostream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "framework/format.h"
#include "search/table_text.h"

namespace app {
namespace {

class TextWriter : public IListingSink {
public:
    explicit TextWriter(std::ostream& out) : out_(out) {}
    void Head(const std::string& line) override { out_ << line << '\n'; }
    void Payment(const ListedPayment& payment) override { out_ << payment.line << '\n'; }

private:
    std::ostream& out_;
};

// A field quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char ch : text) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return quoted + "\"";
}

class CsvWriter : public IListingSink {
public:
    explicit CsvWriter(std::ostream& out) : out_(out) {
        std::string header;
        for (const char* column : kListingColumns) header += (header.empty() ? "" : ",") + CsvField(column);
        out_ << header << "\r\n";
    }
    void Head(const std::string&) override {}
    void Payment(const ListedPayment& p) override {
        out_ << p.entryNumber << ',' << CsvField(Utf8FromTableText(p.chart)) << ','
             << (p.caseNumber ? std::to_string(*p.caseNumber) : "") << ','
             << (p.dateFrom ? IsoDateText(*p.dateFrom) : "") << ',' << CsvField(Utf8FromTableText(p.code)) << ','
             << NumberText(p.amount) << ',' << NumberText(p.applied) << ','
             << NumberText(static_cast<double>(p.difference)) << "\r\n";
    }

private:
    std::ostream& out_;
};

class JsonWriter : public IListingSink {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}
    void Head(const std::string&) override {}
    void Payment(const ListedPayment& p) override {
        nlohmann::ordered_json object;
        object[kListingColumns[0]] = p.entryNumber;
        object[kListingColumns[1]] = Utf8FromTableText(p.chart);
        object[kListingColumns[2]] = p.caseNumber ? nlohmann::ordered_json(*p.caseNumber) : nullptr;
        object[kListingColumns[3]] = p.dateFrom ? nlohmann::ordered_json(IsoDateText(*p.dateFrom)) : nullptr;
        object[kListingColumns[4]] = Utf8FromTableText(p.code);
        object[kListingColumns[5]] = p.amount;
        object[kListingColumns[6]] = p.applied;
        object[kListingColumns[7]] = static_cast<double>(p.difference);
        out_ << object.dump() << '\n';
    }

private:
    std::ostream& out_;
};

}  // namespace

std::unique_ptr<IListingSink> MakeListingWriter(ListingFormat format, std::ostream& out) {
    switch (format) {
        case ListingFormat::Text: return std::make_unique<TextWriter>(out);
        case ListingFormat::Csv: return std::make_unique<CsvWriter>(out);
        case ListingFormat::Json: return std::make_unique<JsonWriter>(out);
        case ListingFormat::None: break;
    }
    return nullptr;
}

std::string IsoDateText(long day) {
    int year = 0, month = 0, dayOfMonth = 0;
    fw::DecodeDate(static_cast<double>(day), year, month, dayOfMonth);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, dayOfMonth);
    return text;
}

std::string NumberText(double value) {
    char buffer[64];
    const auto [end, fault] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (fault != std::errc()) throw std::logic_error("a number does not fit its buffer");
    return std::string(buffer, end);
}

}  // namespace app
