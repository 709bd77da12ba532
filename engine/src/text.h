// Small text helpers of the engine: paths with either separator, names
// compared ignoring case, OEM/ANSI conversion, Julian day numbers and
// locale-independent number text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lce {

// "\" and "/" both separate directories; the result uses "/".
std::string normalizePath(std::string_view path);
// Finds an existing file, matching the last component ignoring case when
// the exact name does not exist. Empty when there is none.
std::string findFile(const std::string& path);
bool fileExists(const std::string& path);
std::string directoryOf(const std::string& path);
std::string fileNameOf(const std::string& path);
bool endsWithIgnoringCase(std::string_view text, std::string_view suffix);

bool equalsIgnoringCase(std::string_view a, std::string_view b);
std::string upper(std::string_view text);

// Code page 437 (OEM) <-> 1252 (ANSI); unmappable bytes become '?'.
std::string oemToAnsi(std::string_view text);
std::string ansiToOem(std::string_view text);

// Julian day number of a Gregorian date and back.
std::int64_t julianFromDate(int year, int month, int day);
void dateFromJulian(std::int64_t julian, int& year, int& month, int& day);
// "CCYYMMDD" -> Julian day; nullopt when it is not a valid date.
std::optional<std::int64_t> julianFromCompact(std::string_view text);
std::string compactFromJulian(std::int64_t julian);

// Number text without the C locale.
std::string formatDouble(double value);
std::string formatFixed(double value, int decimals);
std::optional<double> parseDouble(std::string_view text);
std::optional<std::int64_t> parseInteger(std::string_view text);
std::string_view trimBlanks(std::string_view text);
std::string_view trimTrailingBlanks(std::string_view text);

}  // namespace lce
