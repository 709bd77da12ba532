// Packing of record images for storage. Most fields of a practice record are
// null or blank, so an image is mostly runs of one byte; a run-length code
// keeps a 1 KB image in about half of it.
//
// Code: a sequence of tokens, each a literal stretch followed by a run:
// a byte L (0..255), a byte R (0..255), the L literal bytes, then the byte
// that repeats R times (present also when R is 0). Only runs of kMinRun
// bytes or more are coded as runs: the blank tails of text fields are, the
// short repeats inside numbers stay literal. So a record takes a few tokens
// per text field instead of one per field, and unpacking is a few whole
// 16-byte moves per token with no unpredictable branches.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lce {

std::string packImage(std::string_view image);
// The same code into out, whose storage is reused.
void packImageInto(std::string_view image, std::string& out);
// Unpacks into out; false when the code is damaged or does not give exactly
// expectedSize bytes.
bool unpackImage(std::string_view packed, std::size_t expectedSize, std::string& out);
// Unpacks into the size bytes at out (never writing past them); false as above.
bool unpackImage(std::string_view packed, char* out, std::size_t size);

}  // namespace lce
