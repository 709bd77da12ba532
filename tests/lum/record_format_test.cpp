// Records written by the engine and read through the access layer, for every
// column type each table type holds: a value, a null and an empty value each
// read back as written, by the one description of the record image.
#include <cstring>
#include <optional>

#include "data/engine/record_format.h"
#include "tests/lum/fixture.h"
#include "tests/lum/table_cases.h"

namespace lumtest {
namespace {

using lce::Value;

// One column type. A written null (and an empty value) reads as null on the
// table types whose letters are listed, else as the text given. Without a
// text only whether the value is null is checked (blobs are read as streams).
struct ColumnCase {
    std::uint16_t type;
    std::uint32_t length;
    std::uint16_t decimals;
    Value value;
    std::optional<std::string> text;
    const char* nullOn;
    std::optional<std::string> nullText;
    Value empty;
    const char* emptyNullOn;
    std::optional<std::string> emptyText;
};

std::vector<ColumnCase> ColumnCases() {
    const Value null = Value::null();
    const std::nullopt_t streamed = std::nullopt;
    const std::string fourZeros(4, '\0');
    return {
        {LUM_LOGICAL, 0, 0, Value::ofLogical(true), "True", "NCLVW", "", Value::ofLogical(false), "", "False"},
        {LUM_NUMERIC, 10, 2, Value::ofDouble(12.5), "12.5", "NCLVW", "", Value::ofDouble(0), "", "0"},
        {LUM_DATE, 0, 0, Value::ofDate(2451545), "01/01/2000", "NCLVW", "", null, "NCLVW", ""},
        {LUM_STRING, 10, 0, Value::ofText("A1234"), "A1234", "NCLV", "", Value::ofText(""), "NC", ""},
        // An empty memo or blob of types 5 to 8 reads as null: the layer asks
        // the engine whether it is empty when it loads the record.
        {LUM_MEMO, 0, 0, Value::ofMemo("memo"), streamed, "NCLVW", streamed, Value::ofMemo(""), "NCLVW", streamed},
        {LUM_BINARY, 0, 0, Value::ofBinary("x"), streamed, "NCLVW", streamed, Value::ofBinary(""), "NCLVW", streamed},
        {LUM_IMAGE, 0, 0, Value::ofBinary("\x03"), streamed, "NCLVW", streamed, Value::ofBinary(""), "NCLVW", streamed},
        {LUM_VARCHAR_MEMO, 0, 0, Value::ofMemo("m"), streamed, "NCLVW", streamed, Value::ofMemo(""), "NCLVW", streamed},
        {LUM_COMPACTDATE, 0, 0, Value::ofDate(2451545), "01/01/2000", "NCLVW", "", null, "NCLVW", ""},
        {LUM_DOUBLE, 0, 0, Value::ofDouble(30.25), "30.25", "LV", "0", Value::ofDouble(0), "", "0"},
        {LUM_INTEGER, 0, 0, Value::ofInteger(-42), "-42", "LV", "0", Value::ofInteger(0), "", "0"},
        {LUM_SHORTINT, 0, 0, Value::ofInteger(-7), "-7", "LV", "0", Value::ofInteger(0), "", "0"},
        {LUM_TIME, 0, 0, Value::ofTime(3600000), "01:00:00", "L", "", Value::ofTime(0), "", "00:00:00"},
        {LUM_TIMESTAMP, 0, 0, Value::ofTimestamp(2451545, 3600000), "01/01/2000 01:00:00", "NCLVW", "", null, "NCLVW",
         ""},
        // A null auto-increment is assigned: the rows number 1, 2 and 3.
        {LUM_AUTOINC, 0, 0, null, "1", "", "2", null, "", "3"},
        {LUM_RAW, 4, 0, Value::ofBinary("ABCD"), "ABCD", "NCLV", fourZeros, Value::ofBinary(""), "NCL", fourZeros},
        {LUM_CURDOUBLE, 0, 0, Value::ofDouble(2.5), "2.5", "LV", "0", Value::ofDouble(0), "", "0"},
        {LUM_MONEY, 0, 0, Value::ofScaled(1234567), "123.4567", "L", "", Value::ofScaled(0), "", "0"},
        {LUM_CISTRING, 10, 0, Value::ofText("Abc"), "Abc", "L", "", Value::ofText(""), "", ""},
        {LUM_LONGLONG, 0, 0, Value::ofInteger(1234), "1234", "L", "", Value::ofInteger(0), "", "0"},
        {LUM_MODTIME, 0, 0, Value::ofTimestamp(2451546, 5000), "01/02/2000 00:00:05", "L", "", null, "L", ""},
        // An empty variable value has length 0, which LDT reads as null.
        {LUM_VARCHAR, 10, 0, Value::ofText("var"), "var", "NCLV", "", Value::ofText(""), "L", ""},
        {LUM_VARBINARY, 4, 0, Value::ofBinary("WXYZ"), "WXYZ", "NCLV", "", Value::ofBinary(""), "L", ""},  // fills it
        {LUM_BLOB51, 0, 0, Value::ofBinary("b"), streamed, "L", streamed, Value::ofBinary(""), "", streamed},
        {LUM_BLOB52, 0, 0, Value::ofBinary("c"), streamed, "L", streamed, Value::ofBinary(""), "", streamed},
    };
}

std::string ColumnName(std::uint16_t type) { return "C" + std::to_string(type); }

void ExpectRow(const lum::TLumTable& table, const TableCase& t, const std::vector<ColumnCase>& cases, const char* row) {
    for (const ColumnCase& k : cases) {
        if (!record_format::TypeAllowed(t.tableType, k.type)) continue;
        SCOPED_TRACE(ColumnName(k.type));
        const fw::TField& field = table.FieldNamed(ColumnName(k.type));
        const char* nullOn = "";
        const std::optional<std::string>* text = &k.text;
        if (std::strcmp(row, "null") == 0) nullOn = k.nullOn, text = &k.nullText;
        if (std::strcmp(row, "empty") == 0) nullOn = k.emptyNullOn, text = &k.emptyText;
        const bool null = std::strchr(nullOn, t.letter) != nullptr;
        EXPECT_EQ(field.IsNull(), null);
        if (!null && text->has_value()) {
            EXPECT_EQ(field.ValueAsText(), **text);
        }
    }
}

TEST(RecordFormat, EachTableTypeReadsWhatTheEngineWroteForEveryColumnType) {
    const std::vector<ColumnCase> cases = ColumnCases();
    for (const TableCase& t : tableCases) {
        SCOPED_TRACE(std::string(1, t.letter));
        TempDir dir;
        lce::TableSchema schema;
        schema.tableType = t.tableType;
        lce::Row values, nulls, empties;
        for (const ColumnCase& k : cases) {
            if (!record_format::TypeAllowed(t.tableType, k.type)) continue;
            lce::ColumnDef def;
            def.name = ColumnName(k.type);
            def.type = k.type;
            def.length = k.length;
            def.decimals = k.decimals;
            def.nullable = t.nullable;
            schema.columns.push_back(def);
            values.push_back(k.value);
            nulls.push_back(Value::null());
            empties.push_back(k.empty);
        }
        {
            auto file = lce::TableFile::create(dir.path("T.LDT"), schema);
            for (const lce::Row* row : {&values, &nulls, &empties}) file.append(*row);
        }
        lum::TLumConnection connection;
        connection.SetConnectPath(dir.path());
        lum::TLumTable table;
        table.SetName("tblT");
        table.SetLumConnection(&connection);
        table.SetTableName("T.LDT");
        table.SetTableType(t.openAs);
        table.SetActive(true);
        table.MoveToFirst();
        for (const char* row : {"value", "null", "empty"}) {
            SCOPED_TRACE(row);
            ASSERT_FALSE(table.AtEnd());
            ExpectRow(table, t, cases, row);
            table.MoveToNext();
        }
        EXPECT_TRUE(table.AtEnd());
        table.SetActive(false);
    }
}

}  // namespace
}  // namespace lumtest
