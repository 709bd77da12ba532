// TLumDataSet's fields: the engine's columns read into field definitions, the
// field objects made for them, and values decoded from and encoded into the
// record image (or the key being built).
#include <cstring>

#include "data/engine/record_format.h"
#include "data/lum/dataset.h"

namespace lum {

using fw::TFieldType;

namespace {

bool IsUnicodeType(std::uint16_t type) { return type == LUM_NCHAR || type == LUM_NVARCHAR || type == LUM_NMEMO; }

// The framework type (and size) the engine's column type reads as.
struct MappedColumn {
    TFieldType Type = TFieldType::ftUnknown;
    std::int32_t Size = 0;
};

MappedColumn MapFixedType(std::uint16_t type, UNSIGNED32 length) {
    const auto byLength = static_cast<std::int32_t>(length);
    switch (type) {
        case LUM_LOGICAL: return {TFieldType::ftBoolean, 0};
        case LUM_DATE:
        case LUM_COMPACTDATE: return {TFieldType::ftDate, 0};
        case LUM_STRING:
        case LUM_CISTRING:
        case LUM_VARCHAR: return {TFieldType::ftString, byLength};
        case LUM_MEMO:
        case LUM_VARCHAR_MEMO: return {TFieldType::ftMemo, 1};
        case LUM_BINARY:
        case LUM_IMAGE:
        case LUM_BLOB51:
        case LUM_BLOB52: return {TFieldType::ftBlob, 1};
        case LUM_DOUBLE: return {TFieldType::ftFloat, 0};
        case LUM_INTEGER: return {TFieldType::ftInteger, 0};
        case LUM_SHORTINT: return {TFieldType::ftSmallint, 0};
        case LUM_TIME: return {TFieldType::ftTime, 0};
        case LUM_TIMESTAMP:
        case LUM_MODTIME: return {TFieldType::ftDateTime, 0};
        case LUM_AUTOINC: return {TFieldType::ftAutoInc, 0};
        case LUM_RAW: return {TFieldType::ftBytes, byLength};
        case LUM_CURDOUBLE: return {TFieldType::ftCurrency, 0};
        case LUM_MONEY: return {TFieldType::ftBCD, 4};
        case LUM_LONGLONG: return {TFieldType::ftBCD, 0};
        case LUM_VARBINARY: return {TFieldType::ftVarBytes, byLength};
        default: return {};
    }
}

}  // namespace

// A numeric column is BCD on the native table type, where its digits are
// exact, and a float or small integer elsewhere or when asked for floats.
void TLumDataSet::MapNumericColumn(LUMHANDLE handle, LUMFIELD column, UNSIGNED32 length, UNSIGNED16& decimals,
                                   TFieldType& type, std::int32_t& size) {
    Check(engine_->LumGetFieldDecimals(handle, column, &decimals));
    if (engineTableType_ == LUM_LDT && !options_->LumNumericsAsFloats()) {
        type = (decimals > 4 || length > 18) ? TFieldType::ftFMTBcd : TFieldType::ftBCD;
        size = decimals;
    } else {
        type = (decimals != 0 || length >= 5) ? TFieldType::ftFloat : TFieldType::ftSmallint;
    }
}

void TLumDataSet::LoadFieldDefs(LUMHANDLE handle) {
    UNSIGNED16 count = 0;
    Check(engine_->LumGetNumFields(handle, &count));
    FieldDefs().Clear();
    lceFieldDefs_.Clear();
    ForgetColumnCaches();
    blobColumnCount_ = 0;
    for (UNSIGNED16 c = 1; c <= count; ++c) LoadFieldDef(handle, c);
    FieldDefs().SetUpdated(true);
    fieldDefsGiven_ = false;
}

void TLumDataSet::SetFieldDefs(const fw::TFieldDefs& defs) {
    fw::TFieldDefs& target = GivenFieldDefs();
    target = defs;
    target.SetUpdated(false);
}

fw::TFieldDefs& TLumDataSet::GivenFieldDefs() {
    FieldDefs().SetUpdated(false);
    fieldDefsGiven_ = true;
    DefChanged();
    return FieldDefs();
}

void TLumDataSet::InitFieldDefs() {
    if (cursorHandle_ != NoHandle) return LoadFieldDefs(cursorHandle_);
    if (fieldDefsGiven_) return;  // shown as given until the table opens
    // Closed: the definitions of a cursor opened for them alone. Its columns
    // describe nothing the closed dataset reads, and are read again at open.
    const LUMHANDLE handle = AcquireCursorHandle();
    try {
        LoadFieldDefs(handle);
    } catch (...) {
        engine_->LumCloseTable(handle);  // the failure that brought us here is the one reported
        throw;
    }
    Check(engine_->LumCloseTable(handle));
}

void TLumDataSet::LoadFieldDef(LUMHANDLE handle, UNSIGNED16 number) {
    const LUMFIELD column = LUM_FIELD_NUMBER(number);
    UNSIGNED16 type = 0;
    Check(engine_->LumGetFieldType(handle, column, &type));
    UNSIGNED32 length = 0;
    Check(engine_->LumGetFieldLength(handle, column, &length));
    UNSIGNED16 decimals = 0;
    MappedColumn mapped;
    if (type == LUM_NUMERIC) {
        MapNumericColumn(handle, column, length, decimals, mapped.Type, mapped.Size);
    } else if (IsUnicodeType(type)) {
        RaiseLayerError(this, "Unicode field type (" + std::to_string(type) +
                                  ") encountered.  Unicode field types are not supported by this version of "
                                  "the database access layer.");
    } else {
        mapped = MapFixedType(type, length);
        if (mapped.Type == TFieldType::ftUnknown)
            RaiseLayerError(this, "Unknown field type (" + std::to_string(type) + ") encountered.");
    }
    char name[129] = {};
    UNSIGNED16 nameLength = sizeof name;
    Check(engine_->LumGetFieldName(handle, number, name, &nameLength));
    fw::TFieldDef& def = FieldDefs().Add(std::string(name, strnlen(name, 128)), mapped.Type, mapped.Size, false);
    if (mapped.Type == TFieldType::ftBCD || mapped.Type == TFieldType::ftFMTBcd) {
        // Digits before and after the point: the length less the sign and the point.
        if (type == LUM_NUMERIC) {
            def.Precision = static_cast<std::int32_t>(decimals != 0 ? length - 2 : length - 1);
        } else {
            def.Precision = 20;
        }
    }
    UNSIGNED16 nullable = 0;
    Check(engine_->LumIsNullable(handle, def.Name.c_str(), &nullable));
    TLCEFieldDef columnDef;
    columnDef.ColumnName = def.Name;
    columnDef.ColumnNumber = number;
    columnDef.ColumnLength = length;
    columnDef.EngineType = type;
    columnDef.Decimals = type == LUM_NUMERIC ? decimals : 0;
    columnDef.Nullable = nullable != 0 ? 1 : 0;
    UNSIGNED32 offset = 0;
    Check(engine_->LumGetFieldOffset(handle, column, &offset));
    columnDef.ColumnOffset = offset;
    UNSIGNED16 permissions = 0;
    Check(engine_->LumGetColumnPermissions(handle, column, &permissions));
    columnDef.Permissions = static_cast<std::uint8_t>(permissions);
    lceFieldDefs_.Add(columnDef);
    if (HasBlobCacheSlot(type)) ++blobColumnCount_;
}

std::unique_ptr<fw::TField> TLumDataSet::CreateFieldObject(const fw::TFieldDef& def) {
    std::unique_ptr<fw::TField> field;
    if (def.DataType == TFieldType::ftString) {
        field = std::make_unique<TLumStringField>(*this, def.DataType, def.Name, def.Size, def.FieldNo);
    } else if (def.DataType == TFieldType::ftBCD) {
        auto bcd = std::make_unique<TLumBCDField>(*this, def.DataType, def.Name, def.Size, def.FieldNo);
        bcd->SetPrecision(def.Precision);
        field = std::move(bcd);
    } else {
        field = fw::TDataSet::CreateFieldObject(def);
        if (auto* fmt = dynamic_cast<fw::TBCDField*>(field.get())) fmt->SetPrecision(def.Precision);
    }
    return field;
}

RecordContext TLumDataSet::Context() const {
    return RecordContext{*engine_, const_cast<TLumDataSet*>(this), cursorHandle_, engineTableType_};
}

const std::uint8_t* TLumDataSet::FieldSource() const {
    if (State() == fw::TDataSetState::dsSetKey) return currentKey_ != nullptr ? currentKey_->Image.data() : nullptr;
    const fw::RecordBuffer* record = RecordOfState();
    return record != nullptr ? record->data() : nullptr;
}

bool TLumDataSet::GetFieldData(const fw::TField& field, void* buffer) const {
    if (field.FieldKind() != fw::TFieldKind::fkData) {
        // Calculated and lookup values: a flag byte, then the value, in the calculated area.
        switch (State()) {
            case fw::TDataSetState::dsBrowse:
            case fw::TDataSetState::dsEdit:
            case fw::TDataSetState::dsInsert:
            case fw::TDataSetState::dsCalcFields:
            case fw::TDataSetState::dsFilter: break;
            default: return false;
        }
        const fw::RecordBuffer* record = StateBuffer();
        const std::size_t at = recordSize_ + field.Offset();
        if (record == nullptr || at + 1 + field.DataSize() > record->size() || (*record)[at] == 0) return false;
        if (buffer != nullptr) std::memcpy(buffer, record->data() + at + 1, field.DataSize());
        return true;
    }
    const std::uint8_t* image = FieldSource();
    if (image == nullptr || field.FieldNo() < 1) return false;
    const auto index = static_cast<std::size_t>(field.FieldNo() - 1);
    if (index >= lceFieldDefs_.Count()) return false;
    const TLCEFieldDef& column = lceFieldDefs_[index];
    RecordContext context = Context();
    // The record being edited: its written columns' VFP flags are the layer's own.
    const fw::RecordBuffer* active = ActiveBuffer();
    if (editKind_ != EditKind::None && State() != fw::TDataSetState::dsBrowse && active != nullptr &&
        image == active->data())
        context.WrittenFlags = &writtenFlags_;
    if (field.DataType() == TFieldType::ftMemo || field.DataType() == TFieldType::ftBlob) {
        // Blob values are not in the record image; only their presence is,
        // or, once a stream changed the value being edited, its cache's bytes.
        bool hasValue = false;
        if (image == (active != nullptr ? active->data() : nullptr) && ChangedBlobValue(column, hasValue))
            return hasValue;
        return DecodeFieldValue(context, column, field.DataType(), image, recordSize_, nullptr);
    }
    return DecodeFieldValue(context, column, field.DataType(), image, recordSize_, buffer);
}

void TLumDataSet::InternalSetFieldData(fw::TField& field, const void* buffer) {
    if (State() != fw::TDataSetState::dsSetKey) {
        fw::RecordBuffer* record = StateBuffer();
        if (record == nullptr) RaiseLayerError(this, "Dataset not in edit mode");
        if (field.FieldKind() != fw::TFieldKind::fkData) return StoreCalculatedValue(*record, field, buffer);
        if (field.FieldNo() < 1 || static_cast<std::size_t>(field.FieldNo()) > lceFieldDefs_.Count()) return;
        const TLCEFieldDef& column = lceFieldDefs_[static_cast<std::size_t>(field.FieldNo() - 1)];
        return StoreRecordValue(*record, field, column, buffer);
    }
    if (currentKey_ == nullptr) RaiseLayerError(this, "Dataset not in edit mode");
    if (field.FieldNo() < 1 || static_cast<std::size_t>(field.FieldNo()) > lceFieldDefs_.Count()) return;
    const auto index = static_cast<std::size_t>(field.FieldNo() - 1);
    const TLCEFieldDef& column = lceFieldDefs_[index];
    KeyBuffer& key = *currentKey_;
    std::uint16_t marker = 1;
    if (buffer == nullptr) {
        // Cleared: the column's bytes of the engine's empty record.
        const std::size_t extent =
            record_format::ImageExtent(EngineTableType(), column.EngineType, column.ColumnLength);
        if (column.ColumnOffset + extent <= key.Image.size() && column.ColumnOffset + extent <= nullRecord_.size()) {
            std::memcpy(key.Image.data() + column.ColumnOffset, nullRecord_.data() + column.ColumnOffset, extent);
        }
        if (field.DataType() == TFieldType::ftString) marker = 0;
    } else {
        marker = EncodeFieldValue(Context(), column, field.DataType(), key.Image.data(), key.Image.size(), buffer);
    }
    key.Markers.at(index) = marker;
}

}  // namespace lum
