// Field values decoded from record images of an LDT table, per column type,
// and the null rules.
#include <cmath>

#include "data/lum/errors.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

using fw::TFieldType;
using fw::VarType;
using lce::Value;

lce::ColumnDef Col(const std::string& name, std::uint16_t type, std::uint32_t length = 0, std::uint16_t decimals = 0) {
    lce::ColumnDef c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.decimals = decimals;
    return c;
}

class Fields : public ::testing::Test {
protected:
    void SetUp() override {
        lce::TableSchema schema;
        schema.columns = {
            Col("Text", lce::kCharacter, 10),    Col("Count", lce::kInteger),   Col("Day", lce::kDate),
            Col("Real", lce::kDouble),           Col("Money", lce::kMoney),     Col("Cash", lce::kCurrencyDouble),
            Col("Flag", lce::kLogical),          Col("Stamp", lce::kTimestamp), Col("Small", lce::kShortInteger),
            Col("Number", lce::kNumeric, 10, 2), Col("Note", lce::kMemo),       Col("Serial", lce::kAutoIncrement)};
        auto t = lce::TableFile::create(dir.path("TYPES.LDT"), schema);
        t.append({Value::ofText("A1234"), Value::ofInteger(-42), Value::ofDate(2451545), Value::ofDouble(30.3),
                  Value::ofScaled(1234567), Value::ofDouble(2.5), Value::ofLogical(true),
                  Value::ofTimestamp(2451545, 3600000), Value::ofInteger(-7), Value::ofDouble(12.5),
                  Value::ofMemo("memo"), Value::null()});
        t.append({Value::ofText("   "), Value::null(), Value::null(), Value::null(), Value::null(), Value::null(),
                  Value::null(), Value::null(), Value::null(), Value::null(), Value::null(), Value::null()});
        connection.SetConnectPath(dir.path());
        table.SetName("tblTypes");
        table.SetLumConnection(&connection);
        table.SetTableName("TYPES.LDT");
        table.SetActive(true);
    }
    TempDir dir;
    lum::TLumConnection connection;
    lum::TLumTable table;
};

TEST_F(Fields, EachColumnTypeReadsInItsOwnForm) {
    struct Case {
        const char* name;
        TFieldType type;
        const char* text;  // first row
        VarType kind;
    };
    const Case cases[] = {
        {"Text", TFieldType::ftString, "A1234", VarType::String},
        {"Count", TFieldType::ftInteger, "-42", VarType::Integer},
        {"Day", TFieldType::ftDate, "01/01/2000", VarType::DateTime},
        {"Real", TFieldType::ftFloat, "30.3", VarType::Double},
        {"Money", TFieldType::ftBCD, "123.4567", VarType::Currency},
        {"Cash", TFieldType::ftCurrency, "2.5", VarType::Double},
        {"Flag", TFieldType::ftBoolean, "True", VarType::Boolean},
        {"Stamp", TFieldType::ftDateTime, "01/01/2000 01:00:00", VarType::DateTime},
        {"Small", TFieldType::ftSmallint, "-7", VarType::Integer},
        {"Number", TFieldType::ftBCD, "12.5", VarType::Currency},
        {"Serial", TFieldType::ftAutoInc, "1", VarType::Integer},
    };
    table.MoveToFirst();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const fw::TField& field = table.FieldNamed(k.name);
        EXPECT_EQ(field.DataType(), k.type);
        EXPECT_EQ(field.ValueAsText(), k.text);
        EXPECT_EQ(field.ValueAsVariant().Type(), k.kind);
    }
    EXPECT_EQ(table.FieldNamed("Day").ValueAsDateTime(), 36526.0);  // Julian day - 2415019
    EXPECT_DOUBLE_EQ(table.FieldNamed("Stamp").ValueAsDateTime(), 36526.0 + 1.0 / 24);
    EXPECT_EQ(table.FieldNamed("Money").ValueAsVariant().AsCurrency().Raw(), 1234567);
    EXPECT_EQ(table.FieldNamed("Real").ValueAsVariant().AsDouble(), 30.3);
    EXPECT_EQ(table.FieldNamed("Real").ValueAsInteger(), 30);
    EXPECT_EQ(table.FieldNamed("Count").ValueAsInteger(), -42);
    EXPECT_FALSE(table.FieldNamed("Note").IsNull());
    const auto& number = dynamic_cast<const fw::TBCDField&>(table.FieldNamed("Number"));
    EXPECT_EQ(number.Precision(), 8);
    EXPECT_FALSE(number.CurrencyDisplay());  // a plain number, not money
    EXPECT_TRUE(dynamic_cast<const fw::TBCDField&>(table.FieldNamed("Money")).CurrencyDisplay());
    try {
        table.FieldNamed("Count").ValueAsDateTime();
        FAIL() << "no exception";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Cannot access field 'Count' as type DateTime");
    }
    try {
        table.FieldNamed("Text").ValueAsInteger();
        FAIL() << "no exception";
    } catch (const fw::EConvertError& e) {
        EXPECT_EQ(e.Message(), "'A1234' is not a valid integer value");
    }
}

TEST_F(Fields, NullsReadAsEmptyZeroOrNull) {
    table.MoveToFirst();
    table.MoveToNext();
    ASSERT_FALSE(table.AtEnd());
    // Blanks only are an empty text, not a null.
    EXPECT_EQ(table.FieldNamed("Text").ValueAsText(), "");
    EXPECT_FALSE(table.FieldNamed("Text").IsNull());
    EXPECT_TRUE(table.FieldNamed("Note").IsNull());
    for (const char* name : {"Count", "Day", "Real", "Money", "Cash", "Flag", "Stamp", "Small", "Number"}) {
        SCOPED_TRACE(name);
        const fw::TField& field = table.FieldNamed(name);
        EXPECT_TRUE(field.IsNull());
        EXPECT_TRUE(field.ValueAsVariant().IsNull());
        EXPECT_EQ(field.ValueAsText(), "");
    }
    EXPECT_EQ(table.FieldNamed("Count").ValueAsInteger(), 0);
    EXPECT_EQ(table.FieldNamed("Day").ValueAsDateTime(), 0.0);
    EXPECT_EQ(table.FieldNamed("Real").ValueAsFloat(), 0.0);
    EXPECT_EQ(table.FieldNamed("Serial").ValueAsInteger(), 2);  // assigned by the table
}

TEST_F(Fields, AnUnsupportedColumnTypeFailsTheOpen) {
    // Engine type 19 is unknown to the layer; a wrapped engine reports it for column 1.
    static const LumFunctions* real = &lum::DefaultEngine();
    LumFunctions engine = lum::DefaultEngine();
    engine.LumGetFieldType = [](LUMHANDLE table, LUMFIELD field, UNSIGNED16* type) -> UNSIGNED32 {
        const UNSIGNED32 rc = real->LumGetFieldType(table, field, type);
        if (field == LUM_FIELD_NUMBER(2)) *type = 19;
        return rc;
    };
    table.SetActive(false);
    table.SetEngine(engine);
    try {
        table.SetActive(true);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), "tblTypes: Unknown field type (19) encountered.");
        EXPECT_EQ(e.EngineErrorCode, 5121u);
    }
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(table.CursorHandle(), lum::NoHandle);
}

}  // namespace
}  // namespace lumtest
