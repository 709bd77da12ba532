// Text forms of field values in payxref-db's CSV files.
//
//   character, memo      UTF-8 in the file, Windows-1252 in the table; a
//                        character column's length counts characters. Text
//                        that is not UTF-8, holds a NUL or has no
//                        Windows-1252 form is refused.
//   numbers              one form for money, integers and doubles: an
//                        optional sign (+ or -), digits, and an optional
//                        "." with digits (at least one digit in all);
//                        integers take no "." part, money up to four
//                        decimals; doubles also take an exponent (1e-05),
//                        as export writes very small and large ones so
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
