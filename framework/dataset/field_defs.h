#pragma once
// Descriptions of a dataset's columns and indexes, as a dataset learns them
// from its source; fields are made from the column descriptions.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/dataset/field_type.h"

namespace fw {

class TDataSet;

struct TFieldDef {
    std::string Name;
    TFieldType DataType = TFieldType::ftUnknown;
    std::int32_t Size = 0;
    std::int32_t Precision = 0;
    bool Required = false;
    std::int32_t FieldNo = 0;  // position in the collection, from 1
};

class TFieldDefs {
public:
    // The definitions of `dataSet`'s columns, or a list of its own without one.
    explicit TFieldDefs(TDataSet* dataSet = nullptr) : dataSet_(dataSet) {}
    // A copy is a list of its own; assigning takes the other's definitions
    // and keeps the dataset they describe.
    TFieldDefs(const TFieldDefs& other) : dataSet_(nullptr), items_(other.items_), updated_(other.updated_) {}
    TFieldDefs& operator=(const TFieldDefs& other) {
        items_ = other.items_;
        updated_ = other.updated_;
        return *this;
    }

    // Brings the definitions up to date from their dataset when they are out
    // of date (TDataSet::UpdateFieldDefs); a list without a dataset just
    // counts as up to date.
    void Update();
    void Clear() { items_.clear(); }
    TFieldDef& Add(const std::string& name, TFieldType type, std::int32_t size, bool required);
    std::size_t Count() const { return items_.size(); }
    TFieldDef& operator[](std::size_t index) { return items_.at(index); }
    const TFieldDef& operator[](std::size_t index) const { return items_.at(index); }
    // The first definition with that name, ignoring case as field names do
    // (AnsiSameText); nullptr when none.
    const TFieldDef* Find(const std::string& name) const;

    // Definitions are rebuilt from the source when they are out of date.
    bool Updated() const { return updated_; }
    void SetUpdated(bool updated) { updated_ = updated; }

private:
    TDataSet* dataSet_;
    std::vector<TFieldDef> items_;
    bool updated_ = false;
};

enum class TIndexOption : std::uint8_t {
    ixPrimary = 1,
    ixUnique = 2,
    ixDescending = 4,
    ixCaseInsensitive = 8,
    ixExpression = 16
};

struct TIndexDef {
    std::string Name;
    std::string Fields;        // segment names joined by ";"
    std::uint8_t Options = 0;  // TIndexOption bits
    bool Has(TIndexOption option) const { return (Options & static_cast<std::uint8_t>(option)) != 0; }
};

class TIndexDefs {
public:
    void Clear() { items_.clear(); }
    // EDatabaseError "Duplicate index name '%s'" when the name is taken.
    TIndexDef& Add(const std::string& name, const std::string& fields, std::uint8_t options);
    std::size_t Count() const { return items_.size(); }
    const TIndexDef& operator[](std::size_t index) const { return items_.at(index); }
    TIndexDef& operator[](std::size_t index) { return items_.at(index); }
    // The index that orders by the given field list: an exact match of the
    // whole list first, then one whose fields begin with the list up to a
    // ";". Descending and expression indexes are never chosen. Field texts
    // compare ignoring case, separators included.
    const TIndexDef* FindIndexForFields(const std::string& fields) const;

    bool Updated() const { return updated_; }
    void SetUpdated(bool updated) { updated_ = updated; }

private:
    std::vector<TIndexDef> items_;
    bool updated_ = false;
};

}  // namespace fw
