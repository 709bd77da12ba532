#pragma once
// Writing stored properties back: the counterpart of TReader. A component
// hands its values to a TWriter as (path, value) pairs, in the order and the
// form its SetStoredProperty reads them, so what one component writes loads
// into another. One component's properties are bounded in number and bytes.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "framework/reader.h"

namespace fw {

using StoredProperties = std::vector<std::pair<std::string, PropertyValue>>;

class TWriter {
public:
    static constexpr std::size_t MaxProperties = 1u << 20;
    static constexpr std::size_t MaxBytes = 64u << 20;

    explicit TWriter(std::size_t maxProperties = MaxProperties, std::size_t maxBytes = MaxBytes)
        : maxProperties_(maxProperties), maxBytes_(maxBytes) {}

    // Adds one property. EConvertError "Stored properties too large: %s"
    // (the path) when it would take the writer past its number of properties
    // or its bytes of paths and texts; nothing is added then.
    void Write(const std::string& path, PropertyValue value);
    const StoredProperties& Properties() const { return properties_; }

private:
    std::size_t maxProperties_;
    std::size_t maxBytes_;
    StoredProperties properties_;
    std::size_t bytes_ = 0;
};

// A component that writes stored properties of its own.
class IWritable {
public:
    virtual ~IWritable() = default;
    virtual void WriteStoredProperties(TWriter& writer) const = 0;
};

}  // namespace fw
