#include "tools/csv.h"

namespace payxref::db {

int CsvReader::Get() {
    const int c = in_.get();
    if (c == '\n') ++line_;
    return c;
}

int CsvReader::Peek() { return in_.peek(); }

std::optional<CsvRecord> CsvReader::Next() {
    constexpr int kEnd = std::char_traits<char>::eof();
    if (Peek() == kEnd) return std::nullopt;
    CsvRecord record;
    record.line = line_;
    CsvField field;
    while (true) {
        int c = Get();
        if (c == '"' && field.text.empty() && !field.quoted) {
            field.quoted = true;
            while (true) {
                c = Get();
                if (c == kEnd) throw CsvError(record.line, "a quoted field is never closed");
                if (c == '"') {
                    if (Peek() == '"') {
                        Get();
                        field.text.push_back('"');
                        continue;
                    }
                    break;
                }
                field.text.push_back(static_cast<char>(c));
            }
            c = Get();
            if (c != ',' && c != '\r' && c != '\n' && c != kEnd) {
                throw CsvError(line_, "text after a closing quote");
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
        if (field.quoted) throw CsvError(line_, "text after a closing quote");
        field.text.push_back(static_cast<char>(c));
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
