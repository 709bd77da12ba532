// CSV files as RFC 4180 describes them: fields separated by commas, records
// by CR LF (a lone LF is accepted on reading), fields that hold a comma, a
// quote or a line break enclosed in quotes with inner quotes doubled. A quote
// anywhere else in a field is an error, as is text after a closing quote.
//
// The reader takes bounded input: the whole input, a record (one line, with
// the line breaks inside its quoted fields) and a field each have a limit, and
// reading past one is an error, so a file that never ends (a device, a pipe)
// or a record that never closes costs at most those limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace payxref::db {

struct CsvLimits {
    std::uint64_t fileBytes = std::uint64_t{1} << 30;  // 1 GiB
    std::size_t recordBytes = std::size_t{1} << 20;    // 1 MiB
    std::size_t fieldBytes = std::size_t{1} << 16;     // 64 KiB
};

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
    // `field` is the field's place in its record, from 1; 0 when the error
    // is not about one field.
    CsvError(std::size_t line, std::size_t field, const std::string& what)
        : std::runtime_error(what), line_(line), field_(field) {}
    CsvError(std::size_t line, const std::string& what) : CsvError(line, 0, what) {}
    std::size_t line() const { return line_; }
    std::size_t field() const { return field_; }

private:
    std::size_t line_;
    std::size_t field_;
};

// Reads records from a stream; a file's or a string's alike. A UTF-8
// byte-order mark at the very start is skipped, as spreadsheet programs
// write one.
class CsvReader {
public:
    explicit CsvReader(std::istream& in, CsvLimits limits = {}) : in_(*in.rdbuf()), limits_(limits) {}
    // The next record, or nullopt at the end. Throws CsvError for a quote that
    // is never closed, text after a closing quote, a quote inside an unquoted
    // field, or input beyond a limit.
    std::optional<CsvRecord> Next();

private:
    int Get();
    int Peek();
    void SkipByteOrderMark();
    void Append(CsvField& field, char c, std::size_t fieldNumber) const;
    std::streambuf& in_;
    CsvLimits limits_;
    std::string pending_;  // bytes taken while looking for a byte-order mark, to be read again
    std::size_t line_ = 1;
    std::uint64_t consumed_ = 0;     // bytes of the input read so far
    std::uint64_t recordStart_ = 0;  // `consumed_` where the current record began
    bool started_ = false;
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
