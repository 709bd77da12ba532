// A load normalizes every record's values into one row it keeps, so a value
// written in place must come out as a fresh one would, whatever the slot
// held before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/lce_builder.h"
#include "engine/src/error.h"
#include "engine/src/layout.h"

namespace {

using lce::Value;

lce::RecordLayout TestLayout() {
    lce::TableSchema schema;
    schema.tableType = lce::kLdt;
    const auto add = [&](const char* name, std::uint16_t type, std::uint32_t length = 0, std::uint16_t decimals = 0) {
        lce::ColumnDef c;
        c.name = name;
        c.type = type;
        c.length = length;
        c.decimals = decimals;
        schema.columns.push_back(c);
    };
    add("Chart", lce::kCharacter, 8);
    add("Note", lce::kMemo, 9);
    add("Amount", lce::kDouble);
    add("Price", lce::kNumeric, 6, 2);
    add("Entry", lce::kInteger);
    add("Small", lce::kShortInteger);
    add("Fee", lce::kMoney);
    add("Posted", lce::kDate);
    add("At", lce::kTime);
    add("Stamp", lce::kTimestamp);
    add("Done", lce::kLogical);
    add("Code", lce::kVarChar, 5);
    add("Raw", lce::kRaw, 4);
    return lce::RecordLayout::build(schema);
}

Value Text(const std::string& s) { return Value::ofText(s); }

Value Bytes(const std::string& s) { return Value::ofBinary(s); }

TEST(Normalize, AValueWrittenInPlaceIsTheFreshOneWhateverTheSlotHeld) {
    const lce::RecordLayout layout = TestLayout();
    // Column, the value given, the value stored. Each is written over the
    // slot the case before left, which held a value of another column and kind.
    const std::vector<std::tuple<std::size_t, Value, Value>> cases{
        {0, Text("AB123   "), Text("AB123")},
        {2, Value::ofInteger(7), Value::ofDouble(7.0)},
        {1, Text("a long note of memo text"), Value::ofMemo("a long note of memo text")},
        {4, Value::ofDouble(12.0), Value::ofInteger(12)},
        {0, Text("X"), Text("X")},
        {6, Value::ofDouble(1.25), Value::ofScaled(12500)},
        {0, Value::null(), Value::null()},
        {7, Value::ofTimestamp(2460000, 5000), Value::ofDate(2460000)},
        {9, Value::ofDate(2460001), Value::ofTimestamp(2460001, 0)},
        {8, Value::ofInteger(1000), Value::ofTime(1000)},
        {10, Value::ofInteger(3), Value::ofLogical(true)},
        {11, Text("ab  "), Text("ab  ")},
        {12, Text("\x01\x02"), Bytes("\x01\x02")},
        {3, Value::ofDouble(123.45), Value::ofDouble(123.45)},
        {5, Value::ofInteger(-32767), Value::ofInteger(-32767)},
        {1, Text(""), Value::ofMemo("")},
    };
    Value slot = Value::ofTimestamp(1, 2);
    slot.text = "left over";
    slot.real = 9.5;
    for (const auto& [column, given, stored] : cases) {
        SCOPED_TRACE(layout.columns()[column].def.name);
        layout.normalizeInto(column, given, slot);
        EXPECT_EQ(slot, stored);
        EXPECT_EQ(layout.normalize(column, given), stored);
    }
}

TEST(Normalize, AValueThatDoesNotFitIsRefusedNamingTheColumn) {
    const lce::RecordLayout layout = TestLayout();
    const std::vector<std::tuple<std::size_t, Value, std::string>> cases{
        {0, Text("123456789"), "Text of 9 characters is longer than"},
        {3, Value::ofDouble(12345.5), "Numeric value 12345.50 does not fit"},
        {5, Value::ofInteger(40000), "Integer 40000 is out of range for"},
        {4, Value::ofDouble(1.5), "Value does not fit"},
        {7, Value::ofInteger(5), "Value does not fit"},
        {8, Value::ofInteger(86400000), "Value does not fit"},
        {12, Text("12345"), "Value is longer than"},
    };
    for (const auto& [column, given, message] : cases) {
        SCOPED_TRACE(message);
        Value slot = Text("before");
        try {
            layout.normalizeInto(column, given, slot);
            ADD_FAILURE() << "accepted";
        } catch (const lce::Error& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(layout.columns()[column].def.name), std::string::npos) << e.what();
        }
    }
}

}  // namespace
