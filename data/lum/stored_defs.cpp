// Reading field and index definitions item by item from stored properties,
// and writing them back in the same form.
#include "data/lum/stored_defs.h"

#include <cstdint>
#include <iterator>
#include <optional>

#include "framework/exceptions.h"
#include "framework/format.h"
#include "framework/stored_property.h"
#include "framework/text_compare.h"

namespace lum {

namespace {

constexpr const char* kFieldPrefix = "FieldDefs[";
constexpr const char* kIndexPrefix = "IndexDefs[";
// More digits than this is no position a description holds.
constexpr std::size_t kMaxPositionDigits = 6;

// The index options in the order of their bits (1, 2, 4, 8, 16).
constexpr const char* kIndexOptionNames[] = {"ixPrimary", "ixUnique", "ixDescending", "ixCaseInsensitive",
                                             "ixExpression"};

struct ItemPath {
    std::size_t position = 0;
    std::string attribute;
};

// "Prefix[12].Attribute" taken apart; a malformed path is an invalid value.
ItemPath ParseItemPath(const std::string& path, const std::string& prefix) {
    const std::size_t open = prefix.size();
    const std::size_t close = path.find("].", open);
    const std::size_t digits = close == std::string::npos ? 0 : close - open;
    if (digits == 0 || digits > kMaxPositionDigits) fw::RaiseInvalidPropertyValue(path);
    ItemPath item;
    for (std::size_t i = open; i < close; ++i) {
        if (path[i] < '0' || path[i] > '9') fw::RaiseInvalidPropertyValue(path);
        item.position = item.position * 10 + static_cast<std::size_t>(path[i] - '0');
    }
    item.attribute = path.substr(close + 2);
    return item;
}

fw::TFieldType FieldTypeNamed(const fw::PropertyValue& value, const std::string& path) {
    const std::string& name = fw::Stored<fw::Ident>(value, path).Name;
    for (int t = 0; t <= static_cast<int>(fw::TFieldType::ftFMTBcd); ++t) {
        const auto type = static_cast<fw::TFieldType>(t);
        if (name == fw::FieldTypeName(type)) return type;
    }
    fw::RaiseInvalidPropertyValue(path);
}

std::int32_t StoredNumber(const fw::PropertyValue& value, const std::string& path) {
    const long long number = fw::Stored<long long>(value, path);
    if (number < 0 || number > INT32_MAX) fw::RaiseInvalidPropertyValue(path);
    return static_cast<std::int32_t>(number);
}

std::uint8_t IndexOptions(const fw::PropertyValue& value, const std::string& path) {
    std::uint8_t options = 0;
    for (const std::string& item : fw::Stored<fw::IdentSet>(value, path).Items) {
        const auto bit = fw::IndexOfName(item, kIndexOptionNames);
        if (!bit) fw::RaiseInvalidPropertyValue(path);
        options |= static_cast<std::uint8_t>(1u << *bit);
    }
    return options;
}

}  // namespace

bool IsFieldDefPath(const std::string& path) { return path.rfind(kFieldPrefix, 0) == 0; }
bool IsIndexDefPath(const std::string& path) { return path.rfind(kIndexPrefix, 0) == 0; }

void SetStoredFieldDef(fw::TFieldDefs& defs, const std::string& path, const fw::PropertyValue& value) {
    const ItemPath item = ParseItemPath(path, kFieldPrefix);
    if (item.position > defs.Count()) fw::RaiseInvalidPropertyValue(path);
    if (item.position == defs.Count()) defs.Add("", fw::TFieldType::ftUnknown, 0, false);
    fw::TFieldDef& def = defs[item.position];
    if (item.attribute == "Name") {
        def.Name = fw::Stored<std::string>(value, path);
    } else if (item.attribute == "DataType") {
        def.DataType = FieldTypeNamed(value, path);
    } else if (item.attribute == "Size") {
        def.Size = StoredNumber(value, path);
    } else if (item.attribute == "Precision") {
        def.Precision = StoredNumber(value, path);
    } else if (item.attribute == "Required") {
        def.Required = fw::Stored<bool>(value, path);
    } else {
        fw::RaiseInvalidPropertyValue(path);
    }
}

void SetStoredIndexDef(fw::TIndexDefs& defs, const std::string& path, const fw::PropertyValue& value) {
    const ItemPath item = ParseItemPath(path, kIndexPrefix);
    if (item.position > defs.Count()) fw::RaiseInvalidPropertyValue(path);
    if (item.attribute == "Name") {
        const std::string& name = fw::Stored<std::string>(value, path);
        for (std::size_t i = 0; i < defs.Count(); ++i)
            if (i != item.position && fw::SameText(defs[i].Name, name))
                throw fw::EDatabaseError(fw::Format("Duplicate index name '%s'", {name}));
        if (item.position == defs.Count()) {
            defs.Add(name, "", 0);
            return;
        }
        defs[item.position].Name = name;
        return;
    }
    // An item begins with its name.
    if (item.position == defs.Count()) fw::RaiseInvalidPropertyValue(path);
    fw::TIndexDef& def = defs[item.position];
    if (item.attribute == "Fields") {
        def.Fields = fw::Stored<std::string>(value, path);
    } else if (item.attribute == "Options") {
        def.Options = IndexOptions(value, path);
    } else {
        fw::RaiseInvalidPropertyValue(path);
    }
}

StoredProperties StoredDefProperties(const fw::TFieldDefs& fields, const fw::TIndexDefs& indexes) {
    StoredProperties stored;
    for (std::size_t i = 0; i < fields.Count(); ++i) {
        const fw::TFieldDef& def = fields[i];
        const std::string item = kFieldPrefix + std::to_string(i) + "].";
        stored.emplace_back(item + "Name", def.Name);
        stored.emplace_back(item + "DataType", fw::Ident{fw::FieldTypeName(def.DataType)});
        if (def.Size != 0) stored.emplace_back(item + "Size", static_cast<long long>(def.Size));
        if (def.Precision != 0) stored.emplace_back(item + "Precision", static_cast<long long>(def.Precision));
        if (def.Required) stored.emplace_back(item + "Required", true);
    }
    for (std::size_t i = 0; i < indexes.Count(); ++i) {
        const fw::TIndexDef& def = indexes[i];
        const std::string item = kIndexPrefix + std::to_string(i) + "].";
        stored.emplace_back(item + "Name", def.Name);
        stored.emplace_back(item + "Fields", def.Fields);
        if (def.Options == 0) continue;
        fw::IdentSet options;
        for (std::size_t bit = 0; bit < std::size(kIndexOptionNames); ++bit)
            if ((def.Options & (1u << bit)) != 0) options.Items.emplace_back(kIndexOptionNames[bit]);
        stored.emplace_back(item + "Options", options);
    }
    return stored;
}

}  // namespace lum
