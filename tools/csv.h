// CSV files as RFC 4180 describes them: fields separated by commas, records
// by CR LF (a lone LF is accepted on reading), fields that hold a comma, a
// quote or a line break enclosed in quotes with inner quotes doubled.
#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace payxref::db {

struct CsvField {
    std::string text;
    bool quoted = false;  // written in quotes: "" is an empty value, not an absent one
};

struct CsvRecord {
    std::size_t line = 0;  // line on which the record starts, from 1
    std::vector<CsvField> fields;
};

class CsvError : public std::runtime_error {
public:
    CsvError(std::size_t line, const std::string& what)
        : std::runtime_error(what), line_(line) {}
    std::size_t line() const { return line_; }

private:
    std::size_t line_;
};

class CsvReader {
public:
    explicit CsvReader(std::istream& in) : in_(in) {}
    // The next record, or nullopt at the end. Throws CsvError for a quote that
    // is never closed or text after a closing quote.
    std::optional<CsvRecord> Next();

private:
    int Get();
    int Peek();
    std::istream& in_;
    std::size_t line_ = 1;
};

class CsvWriter {
public:
    explicit CsvWriter(std::ostream& out) : out_(out) {}
    // One record; a field is quoted when it must be or when `quoted` is set.
    void Write(const std::vector<CsvField>& fields);

private:
    std::ostream& out_;
};

}  // namespace payxref::db
