#pragma once
// Locating records by key values: the search options and the engine
// expression that holds for the records whose key fields hold the values.
// The text is built by a pure function, so every form can be checked apart
// from any table.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace lum {

enum class TLocateOption : std::uint8_t { loCaseInsensitive, loPartialKey };

// A set of TLocateOption.
class TLocateOptions {
public:
    TLocateOptions() = default;
    TLocateOptions(std::initializer_list<TLocateOption> options) {
        for (const TLocateOption option : options) bits_ |= Bit(option);
    }
    bool Has(TLocateOption option) const { return (bits_ & Bit(option)) != 0; }

private:
    static std::uint8_t Bit(TLocateOption option) { return static_cast<std::uint8_t>(1u << static_cast<int>(option)); }
    std::uint8_t bits_ = 0;
};

// How a key value is written in the expression.
enum class LocateValueKind : std::uint8_t { Text, Number, Date, Time, Timestamp, Logical };

// One key field and the value sought, as text in the form its kind asks for:
// Text as it is; Number in decimal with "." ("-12.5"); Date "MM/DD/YYYY";
// Time "HH:MM:SS" or "HH:MM:SS.mmm"; Timestamp a date and a time joined by a
// blank; Logical "T" or "F". No value means null.
struct LocateTerm {
    std::string Field;
    LocateValueKind Kind = LocateValueKind::Text;
    std::optional<std::string> Value;
};

// The expression, its parts joined by " AND ":
//   null:       (empty([Field]))
//   text:       [Field] == 'value'   ("=" instead of "==" with loPartialKey,
//               UPPER([Field]) == UPPER('value') with loCaseInsensitive)
//   number:     [Field] == 12.5
//   date/time:  [Field] == ctod('03/15/2011'), ctot('...'), ctots('...')
//   logical:    [Field] == .TRUE. / .FALSE.
// A field name goes between brackets, a "]" in it doubled. A value goes
// between single quotes, or between double quotes when it holds a single
// quote and no double quote; one that holds both goes between single quotes
// with each of its single quotes doubled. Either way every character of the
// value stays inside a literal, so no value can end its literal and add to
// the expression.
std::string BuildLocateExpression(const std::vector<LocateTerm>& terms, TLocateOptions options);

// The value written as a quoted literal, by the rule above.
std::string QuotedLiteral(const std::string& value);

}  // namespace lum
