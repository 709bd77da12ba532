// Record layout of a table: where each column lies in the record image of
// the table's type, and the conversions between field values and image
// bytes. The format itself (types per table type, sizes, null patterns) is
// described in data/engine/record_format.h, shared with the access layer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/lce_builder.h"

namespace lce {

struct ColumnLayout {
    ColumnDef def;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;  // bytes in the image (23/24 on LDT: capacity + 2)
    int nullBit = -1;        // VFP: bit of the null flag in the system field
    int fullBit = -1;        // VFP 23/24: bit telling that the value fills the column
};

class RecordLayout {
public:
    RecordLayout() = default;
    // Fills fixed lengths of the schema's columns and checks every column.
    static RecordLayout build(TableSchema& schema);

    std::uint16_t tableType() const { return tableType_; }
    std::uint16_t charType() const { return charType_; }
    const std::vector<ColumnLayout>& columns() const { return columns_; }
    std::uint32_t recordSize() const { return recordSize_; }
    int find(std::string_view name) const;  // -1 when there is none (ignores case)

    // The image of a record whose every column is null (empty on DBF).
    const std::string& nullImage() const { return nullImage_; }

    // Converts a value given for column c into the column's canonical kind;
    // throws naming the column when it does not fit.
    Value normalize(std::size_t c, const Value& value) const;
    void normalizeInto(std::size_t c, const Value& value, Value& out) const;
    void encode(std::string& image, std::size_t c, const Value& normalized) const;
    Value decode(std::string_view image, std::size_t c) const;
    // Column c's value from its bytes p (available of them) and its null
    // and full flags (VFP), wherever the bytes lie.
    Value decodeColumn(std::size_t c, const char* p, std::size_t available, bool nullFlag, bool fullFlag) const;
    bool isNull(std::string_view image, std::size_t c) const;
    bool vfpFlag(std::string_view image, int bit) const;

private:
    void setFlag(std::string& image, int bit, bool on) const;
    void encodeTextForm(char* p, const ColumnLayout& col, const Value& v) const;
    void encodeCharacters(std::string& image, const ColumnLayout& col, const Value& v) const;
    void encodeBinary(char* p, const ColumnLayout& col, const Value& v) const;

    std::uint16_t tableType_ = kLdt;
    std::uint16_t charType_ = kAnsi;
    std::vector<ColumnLayout> columns_;
    std::uint32_t recordSize_ = 0;
    std::uint32_t flagsOffset_ = 0;
    std::uint32_t flagsSize_ = 0;
    std::string nullImage_;
};

// Canonical value kind of an engine column type.
Value::Kind kindOf(std::uint16_t type);
bool isCharacterType(std::uint16_t type);
bool isBlobType(std::uint16_t type);
bool isKnownType(std::uint16_t type);

}  // namespace lce
