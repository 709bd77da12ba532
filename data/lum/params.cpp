// A query's parameter collection and the parser of the ":name" markers of its
// statement text.
#include "data/lum/params.h"

#include <algorithm>

#include "framework/exceptions.h"
#include "framework/format.h"
#include "framework/text_compare.h"

namespace lum {

namespace {

using fw::TFieldType;

TFieldType TypeOfVariant(const fw::Variant& value) {
    switch (value.Type()) {
        case fw::VarType::Integer: return TFieldType::ftLargeint;
        case fw::VarType::Double: return TFieldType::ftFloat;
        case fw::VarType::Currency: return TFieldType::ftCurrency;
        case fw::VarType::Decimal: return TFieldType::ftBCD;
        case fw::VarType::DateTime: return TFieldType::ftDateTime;
        case fw::VarType::String: return TFieldType::ftString;
        case fw::VarType::Boolean: return TFieldType::ftBoolean;
        default: return TFieldType::ftUnknown;
    }
}

bool IsNameChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u > 127;
}

// The position just after the quoted text or comment starting at `at`, or
// `at` when none starts there. An unclosed one runs to the end.
std::size_t SkipQuotedOrComment(std::string_view text, std::size_t at) {
    const char c = text[at];
    const auto after = [&](std::string_view close, std::size_t from) {
        const std::size_t end = text.find(close, from);
        return end == std::string_view::npos ? text.size() : end + close.size();
    };
    if (c == '\'' || c == '"' || c == '`') return after(std::string_view(&text[at], 1), at + 1);
    if (c == '[') return after("]", at + 1);
    if (text.substr(at, 2) == "--") return after("\n", at + 2);
    if (text.substr(at, 2) == "/*") return after("*/", at + 2);
    return at;
}

}  // namespace

void TParam::Set(TFieldType type, const fw::Variant& value) {
    dataType_ = type;
    value_ = value;
    bound_ = true;
}

void TParam::SetValue(const fw::Variant& value) {
    if (dataType_ == TFieldType::ftUnknown) dataType_ = TypeOfVariant(value);
    value_ = value;
    bound_ = true;
}

void TParam::Clear() {
    value_ = fw::Variant::Null();
    bound_ = true;
}

void TParam::AssignField(const fw::TField& field) {
    dataType_ = field.DataType();
    value_ = field.ValueAsVariant();
}

void TParam::AssignValue(const TParam& other) {
    dataType_ = other.dataType_;
    value_ = other.value_;
    bound_ = other.bound_;
}

TParam& TParams::Add(const std::string& name, TFieldType type) {
    return *items_.emplace_back(std::make_unique<TParam>(name, type));
}

TParam* TParams::FindParam(const std::string& name) const {
    for (const auto& item : items_)
        if (fw::SameText(item->Name(), name)) return item.get();
    return nullptr;
}

TParam& TParams::ParamByName(const std::string& name) const {
    TParam* param = FindParam(name);
    if (param == nullptr) throw fw::EDatabaseError(fw::Format("Parameter '%s' not found", {name}));
    return *param;
}

void TParams::AssignValues(const TParams& other) {
    for (const auto& item : items_)
        if (const TParam* source = other.FindParam(item->Name()); source != nullptr) item->AssignValue(*source);
}

void TParams::ParseText(std::string_view text) {
    items_.clear();
    for (const std::string& name : ParseParamNames(text)) Add(name);
}

std::vector<std::string> ParseParamNames(std::string_view text) {
    std::vector<std::string> names;
    std::size_t i = 0;
    while (i < text.size()) {
        if (const std::size_t next = SkipQuotedOrComment(text, i); next != i) {
            i = next;
            continue;
        }
        if (text[i] != ':') {
            ++i;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == ':') {
            i += 2;  // a literal colon
            continue;
        }
        const std::size_t start = i + 1;
        std::size_t end = start;
        while (end < text.size() && IsNameChar(text[end])) ++end;
        if (end > start) names.emplace_back(text.substr(start, end - start));
        i = std::max(end, start);
    }
    return names;
}

}  // namespace lum
