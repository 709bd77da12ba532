#pragma once
// Columns as the engine lays them out in a record image, the layer's own
// field classes, and the decoding of a column's bytes into the framework's
// value format (and back, for keys).
#include <cstdint>
#include <string>
#include <vector>

#include "data/lum/engine.h"
#include "framework/dataset/field.h"

namespace lum {

class TLumDataSet;

struct TLCEFieldDef {
    std::string ColumnName;
    std::uint16_t ColumnNumber = 0;  // from 1
    std::uint32_t ColumnOffset = 0;  // in the record image
    std::uint32_t ColumnLength = 0;  // bytes; the data capacity for types 23 and 24
    std::uint16_t EngineType = 0;
    std::uint16_t Decimals = 0;  // type 2 only
    std::uint8_t ValueWritten = 0;
    std::uint8_t Permissions = 0;  // 2 update, 4 insert permitted
    std::uint8_t Nullable = 0;
};

class TLCEFieldDefs {
public:
    void Clear() { items_.clear(); }
    void Add(const TLCEFieldDef& def) { items_.push_back(def); }
    std::size_t Count() const { return items_.size(); }
    const TLCEFieldDef& operator[](std::size_t index) const { return items_.at(index); }
    // The ValueWritten markers of the record being edited.
    void SetValueWritten(std::size_t index, std::uint8_t value) { items_.at(index).ValueWritten = value; }
    void ClearValueWritten() {
        for (TLCEFieldDef& item : items_) item.ValueWritten = 0;
    }
    // The first column with that name ignoring case as field names do
    // (fw::AnsiSameText), -1 when none.
    int IndexOf(const std::string& name) const;

private:
    std::vector<TLCEFieldDef> items_;
};

// Character fields; CaseInsensitive marks columns of engine type 20.
class TLumStringField : public fw::TStringField {
public:
    using fw::TStringField::TStringField;
    bool CaseInsensitive() const { return caseInsensitive_; }
    void SetCaseInsensitive(bool value) { caseInsensitive_ = value; }

private:
    bool caseInsensitive_ = false;
};

// Fixed-point fields shown as money unless the column is a plain number.
class TLumBCDField : public fw::TBCDField {
public:
    TLumBCDField(fw::TDataSet& dataSet, fw::TFieldType type, std::string name, std::int32_t size, std::int32_t fieldNo);
};

// What decoding needs to know about the record's table.
struct RecordContext {
    const LumFunctions& Engine;
    TLumDataSet* DataSet;  // for the engine-result check
    LUMHANDLE CursorHandle;
    std::uint16_t TableType;  // LumGetTableType: the layout of the images (data/engine/record_format.h)
    // VFP flags of the columns written while a record is edited, one byte per
    // column (WrittenFlag...): the null and "full" flags live in the image's
    // system field, which only the engine lays out, so a written column's
    // flags are the layer's own until the record is posted. None otherwise.
    const std::vector<std::uint8_t>* WrittenFlags = nullptr;
};

// Bits of RecordContext::WrittenFlags.
constexpr std::uint8_t WrittenFlagSet = 1;   // the column was written: the bits below hold
constexpr std::uint8_t WrittenFlagNull = 2;  // written as null
constexpr std::uint8_t WrittenFlagFull = 4;  // a variable value that fills its column

// The null rules of each table type for one column of a record image.
bool IsRawValueNull(const RecordContext& context, const TLCEFieldDef& column, const std::uint8_t* image,
                    std::size_t imageSize);
// Writes the column's value for a field of `fieldType` into `buffer` (the
// field's DataSize bytes) unless it is null; returns false for null. With no
// buffer only the null test runs.
bool DecodeFieldValue(const RecordContext& context, const TLCEFieldDef& column, fw::TFieldType fieldType,
                      const std::uint8_t* image, std::size_t imageSize, void* buffer);
// Writes a value of the field's format into the column of a record image
// (a key being built). Returns the key marker: the text length for text
// columns, 1 for others.
std::uint16_t EncodeFieldValue(const RecordContext& context, const TLCEFieldDef& column, fw::TFieldType fieldType,
                               std::uint8_t* image, std::size_t imageSize, const void* buffer);

// Julian day numbers and the framework's day numbers (1 = 1 January of year 1).
constexpr std::int64_t JulianDayOfDayOne = 1721425;

}  // namespace lum
