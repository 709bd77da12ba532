#pragma once
// Changing one string value of a store document while keeping every other
// line as it was read (bytes, encoding and line ends).
#include <optional>
#include <string>
#include <string_view>

#include "store/reg_file.h"

namespace reg {

// The bytes of `document` with the value `name` of the key `keyPath` (below
// HKEY_CURRENT_USER) set to the REG_SZ `text`: the definition in force is
// replaced in place, else the value joins the key's last section, else a new
// section is appended. Nothing when the document has no known header or the
// text cannot be written as a quoted string (line breaks, NUL, bad UTF-8).
std::optional<std::string> WithStringValue(const Document& document, std::string_view keyPath, std::string_view name,
                                           std::string_view text);

// A new store holding only that value: UTF-16LE with its byte-order mark,
// the version 5.00 header, CR LF line ends.
std::optional<std::string> NewStoreWithStringValue(std::string_view keyPath, std::string_view name,
                                                   std::string_view text);

}  // namespace reg
