// A bounded RFC 4180 CSV reader and writer: limits on line and field size,
// refusal of bare quotes, file, line and field named in every error.
#include "tools/csv.h"

#include "tools/input_file.h"

namespace payxref::db {
namespace {

constexpr int kEnd = std::char_traits<char>::eof();

}  // namespace

int CsvReader::Get() {
    int c = kEnd;
    if (!pending_.empty()) {
        c = static_cast<unsigned char>(pending_.front());
        pending_.erase(0, 1);
        --consumed_;  // counted already when first taken
    } else {
        c = in_.sbumpc();
    }
    if (c == kEnd) return c;
    if (++consumed_ > limits_.fileBytes)
        throw CsvError(line_, "the file is larger than " + SizeText(limits_.fileBytes));
    if (consumed_ - recordStart_ > limits_.recordBytes)
        throw CsvError(line_, "a line is longer than " + SizeText(limits_.recordBytes));
    if (c == '\n') ++line_;
    return c;
}

int CsvReader::Peek() { return pending_.empty() ? in_.sgetc() : static_cast<unsigned char>(pending_.front()); }

void CsvReader::SkipByteOrderMark() {
    started_ = true;
    static constexpr unsigned char kBom[] = {0xEF, 0xBB, 0xBF};
    // Only a whole mark is skipped; the bytes of a partial one are kept and
    // read again as text.
    std::string head;
    for (const unsigned char b : kBom) {
        if (Peek() != b) {
            pending_ = std::move(head);
            return;
        }
        head += static_cast<char>(Get());
    }
}

void CsvReader::Append(CsvField& field, char c, std::size_t fieldNumber) const {
    if (field.text.size() == limits_.fieldBytes)
        throw CsvError(line_, fieldNumber, "a field is longer than " + SizeText(limits_.fieldBytes));
    field.text.push_back(c);
}

std::optional<CsvRecord> CsvReader::Next() {
    if (!started_) SkipByteOrderMark();
    recordStart_ = consumed_;
    if (Peek() == kEnd) return std::nullopt;
    CsvRecord record;
    record.line = line_;
    CsvField field;
    while (true) {
        const std::size_t fieldNumber = record.fields.size() + 1;
        int c = Get();
        if (c == '"' && field.text.empty() && !field.quoted) {
            field.quoted = true;
            while (true) {
                c = Get();
                if (c == kEnd) throw CsvError(record.line, "a quoted field is never closed");
                if (c == '"') {
                    if (Peek() == '"') {
                        Get();
                        Append(field, '"', fieldNumber);
                        continue;
                    }
                    break;
                }
                Append(field, static_cast<char>(c), fieldNumber);
            }
            c = Get();
            if (c != ',' && c != '\r' && c != '\n' && c != kEnd) {
                throw CsvError(line_, fieldNumber, "text after a closing quote");
            }
        }
        if (c == ',') {
            record.fields.push_back(std::move(field));
            field = CsvField{};
            continue;
        }
        if (c == '\r' && Peek() == '\n') c = Get();
        if (c == '\n' || c == kEnd) {
            record.fields.push_back(std::move(field));
            return record;
        }
        if (field.quoted) throw CsvError(line_, fieldNumber, "text after a closing quote");
        if (c == '"') {
            throw CsvError(line_, fieldNumber,
                           "a quote inside a field that does not start with one (enclose the field in quotes "
                           "and double the quote)");
        }
        Append(field, static_cast<char>(c), fieldNumber);
    }
}

void CsvWriter::Write(const std::vector<CsvField>& fields) {
    bool first = true;
    for (const CsvField& f : fields) {
        if (!first) out_.put(',');
        first = false;
        const bool quote = f.quoted || f.text.find_first_of(",\"\r\n") != std::string::npos;
        if (!quote) {
            out_ << f.text;
            continue;
        }
        out_.put('"');
        for (const char c : f.text) {
            if (c == '"') out_.put('"');
            out_.put(c);
        }
        out_.put('"');
    }
    out_ << "\r\n";
}

}  // namespace payxref::db
