// Text forms of field values in payxref-db's CSV files.
//
//   character, memo      the text as it is
//   numbers              "." as decimal point, no thousands separators
//   logical              T/F, Y/N, 1/0, true/false (any case); written T or F
//   date                 YYYY-MM-DD
//   timestamp            YYYY-MM-DD HH:MM:SS with optional .fff
//   time                 HH:MM:SS with optional .fff
//   money                up to four decimals, kept exactly
//   binary               hexadecimal digits, two per byte
// An empty cell is null; a quoted empty cell ("") is an empty text in a
// character or memo column and null elsewhere.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/lce_builder.h"

namespace payxref::db {

class CellError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a cell for a column. Throws CellError saying what is wrong with it.
lce::Value ParseCell(std::string_view text, bool quoted, const lce::ColumnDef& column);

// The text of a value (as the builder reads it back) for a column; `quoted`
// is set when the text must be written in quotes to stay non-null.
std::string FormatCell(const lce::Value& value, const lce::ColumnDef& column, bool& quoted);

// Julian day number of a proleptic Gregorian date, and back.
std::int64_t JulianDay(int year, int month, int day);
void CivilDate(std::int64_t julianDay, int& year, int& month, int& day);

}  // namespace payxref::db
