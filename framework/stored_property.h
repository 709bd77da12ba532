#pragma once
// Reading typed values out of a stored property. Every component's
// SetStoredProperty checks a value's kind and maps enumeration identifiers to
// its enum the same way, failing with the same message, so the one way lives
// here.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "framework/exceptions.h"
#include "framework/reader.h"

namespace fw {

// EConvertError "Invalid property value: %s" for the property at `path`.
[[noreturn]] inline void RaiseInvalidPropertyValue(const std::string& path) {
    throw EConvertError(Format("Invalid property value: %s", {path}));
}

// The value as the kind the property holds; any other kind is invalid.
template <class T>
const T& Stored(const PropertyValue& value, const std::string& path) {
    if (const auto* v = std::get_if<T>(&value)) return *v;
    RaiseInvalidPropertyValue(path);
}

// The position of `name` among `names` (exact spelling), or none.
inline std::optional<std::size_t> IndexOfName(std::string_view name, std::span<const char* const> names) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (name == names[i]) return i;
    return std::nullopt;
}

// An enumeration identifier as the enum whose values are listed, in order,
// by `names`; a name not listed, or a value of another kind, is invalid.
template <class Enum>
Enum EnumOf(const PropertyValue& value, std::span<const char* const> names, const std::string& path) {
    const auto index = IndexOfName(Stored<Ident>(value, path).Name, names);
    if (!index) RaiseInvalidPropertyValue(path);
    return static_cast<Enum>(*index);
}

}  // namespace fw
