// SHA-256, for the salted password hashes of the dictionary.
#pragma once

#include <string>
#include <string_view>

namespace lce {

std::string sha256(std::string_view data);  // 32 raw bytes
std::string toHex(std::string_view bytes);

}  // namespace lce
