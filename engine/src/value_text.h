// Field values as text, both ways: what LumGetField returns and what
// LumSetField and text scope keys accept.
#pragma once

#include <string>
#include <string_view>

#include "engine/lce_builder.h"

namespace lce {

// Value of a column parsed from text (dates as CCYYMMDD, YYYY-MM-DD or
// MM/DD/YYYY; timestamps with " HH:MM:SS[.fff]"; logicals T/F/Y/N/1/0).
// Throws kErrInvalidArgument naming the column when the text does not fit.
Value valueFromText(const ColumnDef& column, std::string_view text);
// Text of a value (character values padded to the column length).
std::string textOfValue(const ColumnDef& column, const Value& value);

}  // namespace lce
