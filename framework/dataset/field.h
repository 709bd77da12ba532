#pragma once
// Fields: one column of a dataset's current record. A field holds no value of
// its own; every read asks its dataset for the column's bytes in the value
// format of the field's type and converts them:
//   ftString: text ending in a zero byte (Size + 1 bytes); ftSmallint: 16 bits;
//   ftInteger, ftAutoInc: 32 bits; ftBoolean: 16 bits, -1 true; ftFloat,
//   ftCurrency: double; ftBCD, ftFMTBcd: an fw::Decimal; ftDate: 32-bit day
//   number, 1 = 1 January of year 1; ftTime: 32-bit milliseconds since
//   midnight; ftDateTime: double, day number x 86 400 000 + milliseconds;
//   ftBytes: Size bytes; ftVarBytes: 16-bit length, then up to Size bytes.
// Writes convert to the same format and go through the dataset, which checks
// its state (TDataSet::SetFieldData).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/dataset/field_type.h"
#include "framework/dataset/stream.h"
#include "framework/format.h"
#include "framework/variant.h"

namespace fw {

class TDataSet;

enum class TFieldKind : std::uint8_t { fkData, fkCalculated, fkLookup };

class TField {
public:
    TField(TDataSet& dataSet, TFieldType type, std::string name, std::int32_t size, std::int32_t fieldNo);
    virtual ~TField() = default;
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    TDataSet& DataSet() const { return dataSet_; }
    const std::string& FieldName() const { return name_; }
    const std::string& DisplayName() const { return name_; }
    TFieldType DataType() const { return type_; }
    std::int32_t Size() const { return size_; }
    std::int32_t FieldNo() const { return fieldNo_; }  // the column, from 1; 0 for calculated fields
    TFieldKind FieldKind() const { return kind_; }
    // Set before the field is added to its dataset (TDataSet::AddField).
    void SetFieldKind(TFieldKind kind) { kind_ = kind; }
    // Where a calculated or lookup field's flag byte lies in the calculated
    // area of a record buffer; its value follows the flag.
    std::size_t Offset() const { return offset_; }
    // A read-only field refuses writes of record values ("Field '%s' cannot
    // be modified"); key and filter values may still be given.
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    // A required data field must have a value when its record is posted
    // ("Field '%s' must have a value").
    bool Required() const { return required_; }
    void SetRequired(bool value) { required_ = value; }
    // A lookup field (fkLookup) takes the value of LookupResultField in the
    // record of LookupDataSet whose LookupKeyFields equal this record's
    // KeyFields (";"-joined names, paired in order); null when none does.
    // The lookup dataset must stay alive while this field's dataset is open.
    TDataSet* LookupDataSet() const { return lookupDataSet_; }
    void SetLookupDataSet(TDataSet* dataSet) { lookupDataSet_ = dataSet; }
    const std::string& KeyFields() const { return keyFields_; }
    void SetKeyFields(const std::string& names) { keyFields_ = names; }
    const std::string& LookupKeyFields() const { return lookupKeyFields_; }
    void SetLookupKeyFields(const std::string& names) { lookupKeyFields_ = names; }
    const std::string& LookupResultField() const { return lookupResultField_; }
    void SetLookupResultField(const std::string& name) { lookupResultField_ = name; }
    // Told after the field's value was written in edit, insert or key editing.
    std::function<void(TField&)> OnChange;
    // Bytes of the value format of the field's type.
    std::size_t DataSize() const;
    bool IsNull() const;

    // Reads. A null value reads as "" / 0 / Null; a read the type does not
    // support raises EDatabaseError "Cannot access field '%s' as type %s".
    virtual std::string ValueAsText() const;
    virtual std::int32_t ValueAsInteger() const;
    virtual double ValueAsFloat() const;
    virtual double ValueAsDateTime() const;
    virtual Variant ValueAsVariant() const;

    // Writes go to the dataset's current record or key (TDataSet::SetFieldData
    // has the state checks). Each converts to the field's type; a write the
    // type does not support raises "Cannot access field '%s' as type %s". An
    // empty text and a Null clear the field of a number or a date.
    virtual void SetValueAsText(const std::string& text);
    virtual void SetValueAsInteger(std::int32_t value);
    virtual void SetValueAsFloat(double value);
    virtual void SetValueAsDateTime(double value);
    virtual void SetValueAsVariant(const Variant& value);
    void Clear();
    void SetNull() { Clear(); }

    // The value before the record's changes (old-value state) and the value
    // being written (new-value state); the dataset says what each holds.
    Variant OldValue() const;
    Variant NewValue() const;
    void SetNewValue(const Variant& value);

protected:
    // True when the field has a value; the buffer (DataSize bytes) may be null.
    bool ReadData(void* buffer) const;
    void WriteData(const void* buffer);
    [[noreturn]] void AccessError(const char* typeName) const;

private:
    TDataSet& dataSet_;
    TFieldType type_;
    std::string name_;
    std::int32_t size_;
    std::int32_t fieldNo_;
    TFieldKind kind_ = TFieldKind::fkData;
    std::size_t offset_ = 0;
    bool readOnly_ = false;
    bool required_ = false;
    TDataSet* lookupDataSet_ = nullptr;
    std::string keyFields_;
    std::string lookupKeyFields_;
    std::string lookupResultField_;

    friend class TDataSet;  // lays out the calculated fields
};

class TStringField : public TField {
public:
    using TField::TField;
    std::string ValueAsText() const override;
    std::int32_t ValueAsInteger() const override;
    double ValueAsFloat() const override;
    double ValueAsDateTime() const override;
    Variant ValueAsVariant() const override;
    void SetValueAsText(const std::string& text) override;  // cut to Size characters
    void SetValueAsInteger(std::int32_t value) override;
    void SetValueAsFloat(double value) override;
    void SetValueAsDateTime(double value) override;
    void SetValueAsVariant(const Variant& value) override;
};

// ftInteger and ftAutoInc (32 bits), ftSmallint (16 bits).
class TIntegerField : public TField {
public:
    using TField::TField;
    std::string ValueAsText() const override;
    std::int32_t ValueAsInteger() const override;
    double ValueAsFloat() const override;
    Variant ValueAsVariant() const override;
    // "%s is not a valid value for field '%s'" beyond the field's range.
    void SetValueAsText(const std::string& text) override;
    void SetValueAsInteger(std::int32_t value) override;
    void SetValueAsFloat(double value) override;  // rounded half to even
    void SetValueAsVariant(const Variant& value) override;

private:
    bool Read(std::int32_t& value) const;
    void WriteInteger(std::int64_t value);
};
class TSmallintField : public TIntegerField {
public:
    using TIntegerField::TIntegerField;
};
class TAutoIncField : public TIntegerField {
public:
    using TIntegerField::TIntegerField;
};

class TBooleanField : public TField {
public:
    using TField::TField;
    std::string ValueAsText() const override;  // "True" / "False"
    Variant ValueAsVariant() const override;
    // "True" or "False" or the start of either, ignoring case.
    void SetValueAsText(const std::string& text) override;
    void SetValueAsVariant(const Variant& value) override;
};

class TFloatField : public TField {
public:
    using TField::TField;
    std::string ValueAsText() const override;  // FormatGeneral15
    std::int32_t ValueAsInteger() const override;
    double ValueAsFloat() const override;
    Variant ValueAsVariant() const override;  // a double
    // The text in the locale's format: "'%s' is not a valid floating point value".
    void SetValueAsText(const std::string& text) override;
    void SetValueAsInteger(std::int32_t value) override;
    void SetValueAsFloat(double value) override;
    void SetValueAsVariant(const Variant& value) override;
};
class TCurrencyField : public TFloatField {
public:
    using TFloatField::TFloatField;
};

// Fixed point with up to four decimals, read as a currency value.
class TBCDField : public TField {
public:
    using TField::TField;
    std::string ValueAsText() const override;
    std::int32_t ValueAsInteger() const override;
    double ValueAsFloat() const override;
    Variant ValueAsVariant() const override;  // a currency
    // The text in the locale's format: "'%s' is not a valid floating point value".
    void SetValueAsText(const std::string& text) override;
    void SetValueAsInteger(std::int32_t value) override;
    void SetValueAsFloat(double value) override;
    void SetValueAsVariant(const Variant& value) override;
    // Shown as money; a display choice only.
    bool CurrencyDisplay() const { return currencyDisplay_; }
    void SetCurrencyDisplay(bool on) { currencyDisplay_ = on; }
    std::int32_t Precision() const { return precision_; }
    void SetPrecision(std::int32_t precision) { precision_ = precision; }

protected:
    bool ReadDecimal(Decimal& value) const;

private:
    bool currencyDisplay_ = false;
    std::int32_t precision_ = 0;
};

// Fixed point with more decimals or digits than a currency holds.
class TFMTBCDField : public TBCDField {
public:
    using TBCDField::TBCDField;
    std::string ValueAsText() const override;
    std::int32_t ValueAsInteger() const override;
    double ValueAsFloat() const override;
    Variant ValueAsVariant() const override;  // a decimal
};

// ftDateTime; TDateField and TTimeField read the day or the time alone.
class TDateTimeField : public TField {
public:
    using TField::TField;
    std::string ValueAsText() const override;
    double ValueAsFloat() const override;
    double ValueAsDateTime() const override;
    Variant ValueAsVariant() const override;
    // The text as the user types it (short date format, then the time):
    // "'%s' is not a valid date", "... time" or "... date and time".
    void SetValueAsText(const std::string& text) override;
    void SetValueAsFloat(double value) override;
    void SetValueAsDateTime(double value) override;
    void SetValueAsVariant(const Variant& value) override;

protected:
    bool ReadDateTime(double& value) const;
};
class TDateField : public TDateTimeField {
public:
    using TDateTimeField::TDateTimeField;
};
class TTimeField : public TDateTimeField {
public:
    using TDateTimeField::TDateTimeField;
};

// Raw bytes; the text is the bytes as they are.
class TBytesField : public TField {
public:
    using TField::TField;
    std::string ValueAsText() const override;
    Variant ValueAsVariant() const override;
    // The text's bytes: cut to Size, and for ftBytes padded with zero bytes.
    void SetValueAsText(const std::string& text) override;
    void SetValueAsVariant(const Variant& value) override;
};
class TVarBytesField : public TBytesField {
public:
    using TBytesField::TBytesField;
};

// Memo and binary values live outside the record buffer: each read or write
// goes through a blob stream of the dataset (TDataSet::CreateBlobStream). The
// text of a value is its bytes as they are, zero bytes included.
class TBlobField : public TField {
public:
    using TField::TField;
    std::string ValueAsText() const override;
    Variant ValueAsVariant() const override;  // a string; Null when null
    std::string ValueAsBytes() const;
    std::uint64_t BlobSize() const;
    // Replace the whole value (in edit or insert); Null and Empty clear it.
    void SetValueAsText(const std::string& text) override;
    void SetValueAsVariant(const Variant& value) override;
    void SetValueAsBytes(const std::string& bytes);
    // A stream over the value of the dataset's current record;
    // EDatabaseError "Field '%s' has no blob value to stream" from a dataset
    // without blob values, whose reads and writes raise the access error.
    std::unique_ptr<TStream> OpenStream(TBlobStreamMode mode) const;

private:
    std::unique_ptr<TStream> StreamFor(TBlobStreamMode mode, const char* typeName) const;
};
class TMemoField : public TBlobField {
public:
    using TBlobField::TBlobField;
};

// Day numbers of the value formats and date-times (days since 30 Dec 1899).
constexpr std::int32_t DateDelta = 693594;
// EConvertError "'%d.%d' is not a valid timestamp" for a day number of 0 or
// less or a negative time.
double DateTimeFromTimeStamp(std::int64_t dayNumber, std::int64_t milliseconds);
// A date-time as a timestamp field shows it: the short date, then the long
// time unless it is midnight.
std::string DateTimeText(double value, const FormatSettings& settings);

}  // namespace fw
