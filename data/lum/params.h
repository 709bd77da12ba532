#pragma once
// A query's parameters: the collection of named, typed values its statement
// text marks with ":name", and the parser that finds those markers.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/dataset/field.h"
#include "framework/dataset/field_type.h"
#include "framework/variant.h"

namespace lum {

class TParam {
public:
    explicit TParam(std::string name, fw::TFieldType type = fw::TFieldType::ftUnknown)
        : name_(std::move(name)), dataType_(type) {}

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    fw::TFieldType DataType() const { return dataType_; }
    void SetDataType(fw::TFieldType type) { dataType_ = type; }
    // Set by every value setter: the caller gave this parameter its value.
    bool Bound() const { return bound_; }
    void SetBound(bool bound) { bound_ = bound; }

    const fw::Variant& Value() const { return value_; }
    bool IsNull() const { return value_.IsNull() || value_.IsEmpty(); }
    // A value of its own kind; an untyped parameter takes the variant's type.
    void SetValue(const fw::Variant& value);
    // Null, keeping the data type: the statement gets an empty value.
    void Clear();

    void SetAsString(const std::string& value) { Set(fw::TFieldType::ftString, value); }
    void SetAsInteger(std::int32_t value) { Set(fw::TFieldType::ftInteger, value); }
    void SetAsLargeInt(std::int64_t value) { Set(fw::TFieldType::ftLargeint, value); }
    void SetAsFloat(double value) { Set(fw::TFieldType::ftFloat, value); }
    void SetAsCurrency(double value) { Set(fw::TFieldType::ftCurrency, value); }
    void SetAsBoolean(bool value) { Set(fw::TFieldType::ftBoolean, value); }
    // Date-times count days from 30 December 1899.
    void SetAsDate(double value) { Set(fw::TFieldType::ftDate, fw::Variant::FromDateTime(value)); }
    void SetAsTime(double value) { Set(fw::TFieldType::ftTime, fw::Variant::FromDateTime(value)); }
    void SetAsDateTime(double value) { Set(fw::TFieldType::ftDateTime, fw::Variant::FromDateTime(value)); }
    // Raw bytes, handed to the statement as they are.
    void SetAsBlob(const std::string& bytes) { Set(fw::TFieldType::ftBlob, bytes); }
    void SetAsMemo(const std::string& text) { Set(fw::TFieldType::ftMemo, text); }

    // The field's type and value; whether the parameter counts as bound is
    // left as it was.
    void AssignField(const fw::TField& field);
    // Type, value and bound flag of another parameter.
    void AssignValue(const TParam& other);

private:
    void Set(fw::TFieldType type, const fw::Variant& value);

    std::string name_;
    fw::TFieldType dataType_;
    fw::Variant value_ = fw::Variant::Null();
    bool bound_ = false;
};

class TParams {
public:
    std::size_t Count() const { return items_.size(); }
    TParam& Items(std::size_t index) { return *items_.at(index); }
    const TParam& Items(std::size_t index) const { return *items_.at(index); }
    TParam& Add(const std::string& name, fw::TFieldType type = fw::TFieldType::ftUnknown);
    void Clear() { items_.clear(); }
    // The first parameter of the name, ignoring case; nullptr when none.
    TParam* FindParam(const std::string& name) const;
    // EDatabaseError "Parameter '%s' not found" when none.
    TParam& ParamByName(const std::string& name) const;
    // Each parameter takes type, value and bound flag from the first of the
    // other collection's parameters with its name; the others keep theirs.
    void AssignValues(const TParams& other);
    // Builds one parameter per marker of the text, in order of appearance.
    void ParseText(std::string_view text);

private:
    std::vector<std::unique_ptr<TParam>> items_;
};

// The names of the parameter markers of a statement text, one per marker in
// order of appearance. A marker is a colon followed by a name, outside quoted
// text ('...', "...", `...`, [...]) and comments (-- to the end of the line,
// /* ... */); a doubled colon is a literal colon. The name runs over letters,
// digits, '_' and bytes above 127, as the engine reads it; a colon before
// anything else is a literal colon.
std::vector<std::string> ParseParamNames(std::string_view text);

}  // namespace lum
