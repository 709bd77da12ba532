// Packing of record images for storage. Most fields of a practice record are
// null or blank, so an image is mostly runs of one byte; a run-length code
// keeps a 1 KB image in a few hundred bytes and unpacks at memcpy speed.
//
// Code: a control byte c < 0x80 is followed by c + 1 literal bytes; c >= 0x80
// is followed by one byte repeated c - 0x80 + kMinRun times.
#pragma once

#include <string>
#include <string_view>

namespace lce {

std::string packImage(std::string_view image);
// Unpacks into out; false when the code is damaged or does not give exactly
// expectedSize bytes.
bool unpackImage(std::string_view packed, std::size_t expectedSize, std::string& out);

}  // namespace lce
