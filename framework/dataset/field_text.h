#pragma once
// Numbers, dates and times read from text as the user types them, in the
// regional settings of the dataset. Shared by the reads of text fields and
// the writes of text into number and date fields.
#include <cstdint>
#include <string_view>

#include "framework/format.h"

namespace fw {

// The text without leading and trailing blanks.
std::string_view TrimBlanks(std::string_view text);
// A whole decimal number, blanks around it allowed.
bool ParseIntegerText(std::string_view text, std::int64_t& value);
// A number with the locale's decimal separator (or "."), blanks around it allowed.
bool ParseFloatText(std::string_view text, const FormatSettings& settings, double& value);
// The same as plain text with "." as separator, for an exact decimal.
bool NormalizeDecimalText(std::string_view text, const FormatSettings& settings, std::string& normal);
// A date in the order of the short date format with the date separator,
// optionally followed by a blank and a time.
bool ParseDateTimeText(std::string_view text, const FormatSettings& settings, double& value);
// A date alone.
bool ParseDateText(std::string_view text, const FormatSettings& settings, double& value);
// A time alone: hours and minutes, optionally seconds, with the time separator.
bool ParseTimeText(std::string_view text, const FormatSettings& settings, double& value);

}  // namespace fw
