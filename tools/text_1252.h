// Text of character and memo columns: the tables hold 8-bit text in the
// Windows-1252 code page, as they always did; CSV files hold UTF-8. The
// conversions are the kernel's (framework/text_codec.h); the tool adds the
// quoting of a text inside one of its messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "framework/text_codec.h"

namespace payxref::db {

using fw::NextUtf8;
using fw::Utf8ToWindows1252;
using fw::Windows1252Result;
using fw::Windows1252ToUtf8;

// A text for a message: in quotes, cut after `maxCharacters` characters with
// "…" marking the cut; control characters and bytes that are not UTF-8 shown
// as \xNN.
std::string QuoteForMessage(std::string_view text, std::size_t maxCharacters = 60);

}  // namespace payxref::db
