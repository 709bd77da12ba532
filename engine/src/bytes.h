// Little-endian reads and writes of fixed-size integers in byte strings.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace lce {

template <typename T>
inline void putLE(char* p, T value) {
    std::memcpy(p, &value, sizeof(T));  // the engine runs on little-endian hosts only
}
template <typename T>
inline T getLE(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

}  // namespace lce
