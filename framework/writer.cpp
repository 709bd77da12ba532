// The bounded collection of a component's stored properties.
#include "framework/writer.h"

#include "framework/exceptions.h"

namespace fw {

namespace {

// Bytes a value holds beyond its fixed size: its texts.
struct TextBytes {
    std::size_t operator()(const std::string& text) const { return text.size(); }
    std::size_t operator()(const std::vector<std::string>& lines) const {
        std::size_t n = 0;
        for (const std::string& line : lines) n += line.size() + 1;
        return n;
    }
    std::size_t operator()(const Ident& ident) const { return ident.Name.size(); }
    std::size_t operator()(const IdentSet& set) const { return (*this)(set.Items); }
    std::size_t operator()(const ComponentRef& ref) const { return ref.Name.size(); }
    template <class Fixed>
    std::size_t operator()(const Fixed&) const {
        return sizeof(long long);
    }
};

}  // namespace

void TWriter::Write(const std::string& path, PropertyValue value) {
    const std::size_t bytes = path.size() + std::visit(TextBytes{}, value);
    if (properties_.size() >= maxProperties_ || bytes > maxBytes_ - bytes_) {
        throw EConvertError(Format("Stored properties too large: %s", {path}));
    }
    properties_.emplace_back(path, std::move(value));
    bytes_ += bytes;
}

}  // namespace fw
