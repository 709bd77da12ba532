// Field writes of every kind into every field type, through a dataset of one
// record that keeps each value as the bytes of its value format: what each
// conversion stores, which texts and values are refused and with what
// message, and that writes reach the dataset only in a state that allows them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/dataset/dataset.h"
#include "framework/exceptions.h"

namespace {

using fw::TDataSetState;
using fw::TField;
using fw::TFieldType;

class Cells : public fw::TDataSet {
public:
    struct Column {
        TFieldType type;
        std::int32_t size;
    };
    explicit Cells(std::vector<Column> columns) : columns_(std::move(columns)) { SetName("cells"); }
    ~Cells() override { CloseQuietly(); }

    bool CanModify() const override { return true; }
    bool GetFieldData(const TField& field, void* buffer) const override {
        const Values& values = Source();
        const auto found = values.find(field.FieldNo());
        if (found == values.end()) return false;
        if (buffer != nullptr) std::memcpy(buffer, found->second.data(), found->second.size());
        return true;
    }
    // Starts key editing, as a dataset with an index would.
    void EditKey() {
        CheckBrowseMode();
        SetState(TDataSetState::dsSetKey);
    }

protected:
    using Values = std::map<std::int32_t, std::vector<std::uint8_t>>;

    void InternalSetFieldData(TField& field, const void* buffer) override {
        Values& values = State() == TDataSetState::dsSetKey ? key_ : pending_;
        if (buffer == nullptr) {
            values.erase(field.FieldNo());
            return;
        }
        std::vector<std::uint8_t> bytes(field.DataSize(), 0);
        // A text is given up to its zero byte.
        const std::size_t length = field.DataType() == TFieldType::ftString
                                       ? strnlen(static_cast<const char*>(buffer), bytes.size() - 1)
                                       : bytes.size();
        std::memcpy(bytes.data(), buffer, length);
        values[field.FieldNo()] = bytes;
    }
    void InternalEdit() override { pending_ = committed_; }
    void InternalInsert() override { pending_.clear(); }
    void InternalPost() override { committed_ = pending_; }

    void InitFieldDefs() override {
        FieldDefs().Clear();
        for (const Column& column : columns_) FieldDefs().Add("F", column.type, column.size, false);
    }
    void OpenEngineCursor() override {
        open_ = true;
        pos_ = -1;
        UpdateFieldDefs();
        CreateDefaultFields();
    }
    void CloseEngineCursor() override {
        DestroyDefaultFields();
        open_ = false;
    }
    bool CursorIsOpen() const override { return open_; }
    fw::TFetchResult FetchRecord(fw::RecordBuffer& buffer, fw::TFetchMode mode) override {
        if (mode == fw::TFetchMode::Next && pos_ >= 0) return fw::TFetchResult::HitEnd;
        if (mode == fw::TFetchMode::Prior && pos_ <= 0) return fw::TFetchResult::HitBeginning;
        pos_ = 0;
        buffer[0] = static_cast<std::uint8_t>(fw::TBookmarkFlag::Current);
        return fw::TFetchResult::Ok;
    }
    void SeekBeforeFirst() override { pos_ = -1; }
    void SeekAfterLast() override { pos_ = 1; }
    void PositionOnBuffer(const fw::RecordBuffer&) override { pos_ = 0; }
    std::size_t RecordBufferSize() const override { return 1; }
    fw::TBookmarkFlag BookmarkFlagOf(const fw::RecordBuffer& buffer) const override {
        return static_cast<fw::TBookmarkFlag>(buffer[0]);
    }
    void SetBookmarkFlag(fw::RecordBuffer& buffer, fw::TBookmarkFlag flag) override {
        buffer[0] = static_cast<std::uint8_t>(flag);
    }

private:
    const Values& Source() const {
        switch (State()) {
            case TDataSetState::dsEdit:
            case TDataSetState::dsInsert:
            case TDataSetState::dsNewValue: return pending_;
            case TDataSetState::dsSetKey: return key_;
            default: return committed_;
        }
    }

    std::vector<Column> columns_;
    Values committed_, pending_, key_;
    int pos_ = -1;
    bool open_ = false;
};

std::string Failure(const std::function<void()>& step) {
    try {
        step();
    } catch (const fw::Exception& e) {
        return e.Message();
    }
    return "";
}

using Write = std::function<void(TField&)>;
Write Text(std::string text) {
    return [text](TField& f) { f.SetValueAsText(text); };
}
Write Integer(std::int32_t value) {
    return [value](TField& f) { f.SetValueAsInteger(value); };
}
Write Float(double value) {
    return [value](TField& f) { f.SetValueAsFloat(value); };
}
Write DateTime(double value) {
    return [value](TField& f) { f.SetValueAsDateTime(value); };
}
Write Var(fw::Variant value) {
    return [value](TField& f) { f.SetValueAsVariant(value); };
}
Write Null() {
    return [](TField& f) { f.SetNull(); };
}

TEST(FieldWrites, EachKindOfValueIsConvertedToTheFieldsTypeOrRefused) {
    struct Case {
        TFieldType type;
        std::int32_t size;
        const char* write;  // what is written, for the trace
        Write how;
        std::string text;   // ValueAsText afterwards
        std::string error;  // or the message of the refusal
        char decimal = '.';
    };
    using T = TFieldType;
    const std::string invalidInt = "'1.5' is not a valid integer value";
    const Case cases[] = {
        {T::ftString, 5, "long text", Text("abcdefg"), "abcde", ""},
        {T::ftString, 5, "integer", Integer(-42), "-42", ""},
        {T::ftString, 5, "float", Float(1.5), "1.5", ""},
        {T::ftString, 5, "float, comma", Float(1.5), "1,5", "", ','},
        {T::ftString, 20, "date-time", DateTime(36526.5), "01/01/2000 12:00:00", ""},
        {T::ftString, 20, "date at midnight", DateTime(36526), "01/01/2000", ""},
        {T::ftString, 5, "integer variant", Var(7), "7", ""},
        {T::ftInteger, 0, "text with blanks", Text(" 12 "), "12", ""},
        {T::ftInteger, 0, "empty text", Text(""), "", ""},
        {T::ftInteger, 0, "text of a fraction", Text("1.5"), "", invalidInt},
        {T::ftInteger, 0, "text beyond 32 bits", Text("99999999999"), "",
         "99999999999 is not a valid value for field 'F'"},
        {T::ftInteger, 0, "float, half to even", Float(2.5), "2", ""},
        {T::ftInteger, 0, "float, half to even up", Float(3.5), "4", ""},
        {T::ftInteger, 0, "negative half", Float(-2.5), "-2", ""},
        {T::ftInteger, 0, "float beyond 32 bits", Float(3e9), "", "3000000000 is not a valid value for field 'F'"},
        {T::ftInteger, 0, "date-time", DateTime(1), "", "Cannot access field 'F' as type DateTime"},
        {T::ftInteger, 0, "text variant", Var("31"), "31", ""},
        {T::ftSmallint, 0, "beyond 16 bits", Integer(40000), "", "40000 is not a valid value for field 'F'"},
        {T::ftSmallint, 0, "lowest", Integer(-32768), "-32768", ""},
        {T::ftFloat, 0, "text, comma", Text("1,25"), "1,25", "", ','},
        {T::ftFloat, 0, "text that is no number", Text("abc"), "", "'abc' is not a valid floating point value"},
        {T::ftFloat, 0, "integer", Integer(3), "3", ""},
        {T::ftFloat, 0, "text variant", Var("2.5"), "2.5", ""},
        {T::ftFloat, 0, "date-time", DateTime(1), "", "Cannot access field 'F' as type DateTime"},
        {T::ftBCD, 4, "text", Text("12.3456"), "12.3456", ""},
        {T::ftBCD, 4, "text, comma", Text("12,5"), "12,5", "", ','},
        {T::ftBCD, 4, "text with two points", Text("1.2.3"), "", "'1.2.3' is not a valid floating point value"},
        {T::ftBCD, 4, "float", Float(0.1), "0.1", ""},
        {T::ftBCD, 4, "integer", Integer(5), "5", ""},
        {T::ftFMTBcd, 30, "many decimals", Text("1.000000000000000000001"), "1.000000000000000000001", ""},
        {T::ftBoolean, 0, "start of True", Text("t"), "True", ""},
        {T::ftBoolean, 0, "start of False", Text("FAL"), "False", ""},
        {T::ftBoolean, 0, "empty text", Text(""), "", ""},
        {T::ftBoolean, 0, "other text", Text("yes"), "", "'yes' is not a valid boolean value for field 'F'"},
        {T::ftBoolean, 0, "integer", Integer(1), "", "Cannot access field 'F' as type Integer"},
        {T::ftBoolean, 0, "Boolean variant", Var(true), "True", ""},
        {T::ftDate, 0, "text", Text("02/29/2000"), "02/29/2000", ""},
        {T::ftDate, 0, "no such day", Text("02/30/2000"), "", "'02/30/2000' is not a valid date"},
        {T::ftDate, 0, "text with a time", Text("02/29/2000 10:00"), "", "'02/29/2000 10:00' is not a valid date"},
        {T::ftDate, 0, "date-time: the day", DateTime(36526.75), "01/01/2000", ""},
        {T::ftDate, 0, "float", Float(36527), "01/02/2000", ""},
        {T::ftDate, 0, "integer", Integer(36526), "", "Cannot access field 'F' as type Integer"},
        {T::ftTime, 0, "text", Text("12:30"), "12:30:00", ""},
        {T::ftTime, 0, "no such hour", Text("25:00"), "", "'25:00' is not a valid time"},
        {T::ftTime, 0, "date-time: the time", DateTime(36526.25), "06:00:00", ""},
        {T::ftDateTime, 0, "text", Text("01/01/2000 06:00:00"), "01/01/2000 06:00:00", ""},
        {T::ftDateTime, 0, "date only", Text("01/01/2000"), "01/01/2000", ""},
        {T::ftDateTime, 0, "bad time", Text("1/1/2000 x"), "", "'1/1/2000 x' is not a valid date and time"},
        {T::ftDateTime, 0, "date variant", Var(fw::Variant::FromDateTime(36526.5)), "01/01/2000 12:00:00", ""},
        {T::ftBytes, 3, "long text", Text("abcd"), "abc", ""},
        {T::ftBytes, 3, "short text", Text("a"), std::string("a\0\0", 3), ""},
        {T::ftVarBytes, 4, "short text", Text("ab"), "ab", ""},
        {T::ftVarBytes, 4, "long text", Text("abcdef"), "abcd", ""},
        {T::ftMemo, 1, "text", Text("x"), "", "Cannot access field 'F' as type String"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(fw::FieldTypeName(c.type)) + ": " + c.write);
        Cells d({{c.type, c.size}});
        fw::FormatSettings settings;
        settings.DecimalSeparator = c.decimal;
        d.SetSettings(settings);
        d.Open();
        TField& field = d.Field(0);
        d.Edit();
        EXPECT_EQ(Failure([&] { c.how(field); }), c.error);
        if (c.error.empty()) {
            EXPECT_EQ(field.ValueAsText(), c.text);
            d.Post();
            EXPECT_EQ(field.ValueAsText(), c.text);  // as stored
        }
    }
}

TEST(FieldWrites, NullAndEmptyTextClearAFieldOfEveryType) {
    for (const TFieldType type : {TFieldType::ftString, TFieldType::ftInteger, TFieldType::ftFloat, TFieldType::ftBCD,
                                  TFieldType::ftBoolean, TFieldType::ftDate, TFieldType::ftDateTime}) {
        SCOPED_TRACE(fw::FieldTypeName(type));
        Cells d({{type, 8}});
        d.Open();
        TField& field = d.Field(0);
        d.Edit();
        field.SetValueAsVariant(fw::Variant(1));
        ASSERT_FALSE(field.IsNull());
        field.SetNull();
        EXPECT_TRUE(field.IsNull());
        field.SetValueAsVariant(fw::Variant(1));
        field.SetValueAsVariant(fw::Variant::Null());
        EXPECT_TRUE(field.IsNull());
        EXPECT_TRUE(field.ValueAsVariant().IsNull());
        if (type != TFieldType::ftString) {  // a text field keeps an empty text
            field.SetValueAsVariant(fw::Variant(1));
            field.SetValueAsText("");
            EXPECT_TRUE(field.IsNull());
        }
    }
}

// Writes reach the dataset in edit, insert and key editing only.
TEST(FieldWrites, EverySetterWritesOnlyInAStateThatAllowsIt) {
    struct Case {
        const char* state;
        std::function<void(Cells&)> enter;
        bool allowed;
    };
    const Case cases[] = {
        {"browse", [](Cells&) {}, false},
        {"edit", [](Cells& d) { d.Edit(); }, true},
        {"insert", [](Cells& d) { d.Insert(); }, true},
        {"key editing", [](Cells& d) { d.EditKey(); }, true},
    };
    const std::pair<const char*, Write> writes[] = {
        {"text", Text("5")}, {"integer", Integer(5)}, {"float", Float(5)},
        {"variant", Var(5)}, {"null", Null()},        {"clear", [](TField& f) { f.Clear(); }},
    };
    for (const Case& c : cases) {
        for (const auto& [kind, write] : writes) {
            SCOPED_TRACE(std::string(c.state) + ", " + kind);
            Cells d({{TFieldType::ftFloat, 0}});
            d.Open();
            c.enter(d);
            const TDataSetState state = d.State();
            EXPECT_EQ(Failure([&] { write(d.Field(0)); }), c.allowed ? "" : "cells: Dataset not in edit mode");
            EXPECT_EQ(d.State(), state);
            EXPECT_EQ(d.Modified(), c.allowed && state != TDataSetState::dsSetKey);
        }
    }
}

}  // namespace
