// Field values decoded from record images of an LDT table, per column type,
// and the null rules.
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

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

// Field definitions of a dataset that was never opened come from a cursor
// acquired for them and closed again; the dataset stays closed, and asks
// again only after its statement changed. A failure closes that cursor too.
std::vector<std::string> cursorCalls;
const LumFunctions* realEngine = &lum::DefaultEngine();
bool failFieldType = false;

LumFunctions RecordingCursors() {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumOpenTable90 = [](LUMHANDLE c, const char* name, const char* alias, UNSIGNED16 type, UNSIGNED16 chars,
                               UNSIGNED16 lock, UNSIGNED16 rights, UNSIGNED32 options, const char* collation,
                               LUMHANDLE* table) {
        const UNSIGNED32 rc =
            realEngine->LumOpenTable90(c, name, alias, type, chars, lock, rights, options, collation, table);
        cursorCalls.push_back("open " + std::to_string(*table));
        return rc;
    };
    engine.LumExecuteSQL = [](LUMHANDLE statement, LUMHANDLE* cursor) {
        const UNSIGNED32 rc = realEngine->LumExecuteSQL(statement, cursor);
        cursorCalls.push_back("open " + std::to_string(*cursor));
        return rc;
    };
    engine.LumCloseTable = [](LUMHANDLE cursor) {
        cursorCalls.push_back("close " + std::to_string(cursor));
        return realEngine->LumCloseTable(cursor);
    };
    engine.LumGetFieldType = [](LUMHANDLE table, LUMFIELD field, UNSIGNED16* type) -> UNSIGNED32 {
        if (failFieldType) return realEngine->LumSetLastError(LUM_ERR_DAMAGED, "Injected failure");
        return realEngine->LumGetFieldType(table, field, type);
    };
    return engine;
}

std::string Described(const fw::TFieldDefs& defs) {
    std::string text;
    for (std::size_t i = 0; i < defs.Count(); ++i)
        text += defs[i].Name + ":" + fw::FieldTypeName(defs[i].DataType) + ":" + std::to_string(defs[i].Size) + ";";
    return text;
}

TEST(ClosedFieldDefs, AClosedDataSetReadsItsDefinitionsWithoutOpening) {
    TempDir dir;
    BuildPractice(dir, {{1, "I", 10.0, "AAA00001"}}, {});
    Components c;
    c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
    c.table->SetMasterSource(nullptr);
    const LumFunctions engine = RecordingCursors();
    struct Case {
        const char* name;
        lum::TLumDataSet& dataSet;
        std::function<void()> before;
        bool reads;  // a cursor is opened and closed for the definitions
        const char* defs;
        bool sameAtOpen = true;  // stored definitions describe the full table, not this small one
    };
    lum::TLumQuery& q = *c.query;
    const Case cases[] = {
        {"query never opened", q, [&] { q.SetSQL({"SELECT [Chart Number], [Amount] FROM ZTTRN"}); }, true,
         "Chart Number:ftString:8;Amount:ftFloat:0;"},
        {"query, up to date", q, [] {}, false, "Chart Number:ftString:8;Amount:ftFloat:0;"},
        {"query with another statement", q, [&] { q.SetSQL({"SELECT [Entry Number] AS N FROM ZTTRN"}); }, true,
         "N:ftAutoInc:0;"},
        // The search's table is described with the definitions it is stored with.
        {"table with stored definitions", *c.table, [] {}, false, "", false},
        // Naming the table again sets the stored definitions aside for the engine's.
        {"table named again", *c.table, [&] { c.table->SetTableName("ZTTRN"); }, true,
         "Chart Number:ftString:8;Case Number:ftInteger:0;Entry Number:ftAutoInc:0;Date From:ftDate:0;Procedure "
         "Code:ftString:10;Transaction Type:ftString:1;Amount:ftFloat:0;Documentation:ftMemo:1;CC Entry "
         "Number:ftInteger:0;"},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        x.dataSet.SetEngine(engine);
        x.before();
        cursorCalls.clear();
        x.dataSet.FieldDefs().Update();
        EXPECT_FALSE(x.dataSet.Active());
        EXPECT_EQ(x.dataSet.CursorHandle(), lum::NoHandle);
        ASSERT_EQ(cursorCalls.size(), x.reads ? 2u : 0u);
        if (x.reads) {
            EXPECT_EQ(cursorCalls[0].substr(5), cursorCalls[1].substr(6));  // the one it opened
            EXPECT_EQ(cursorCalls[1].substr(0, 6), "close ");
        }
        const std::string described = Described(x.dataSet.FieldDefs());
        if (*x.defs != '\0') {
            EXPECT_EQ(described, x.defs);
        }
        // The open reads the same definitions.
        x.dataSet.SetActive(true);
        if (x.sameAtOpen) {
            EXPECT_EQ(Described(x.dataSet.FieldDefs()), described);
        }
        x.dataSet.SetActive(false);
    }

    // A failure while reading closes the cursor and leaves the definitions out of date.
    q.SetSQL({"SELECT [Amount] FROM ZTTRN"});
    failFieldType = true;
    cursorCalls.clear();
    EXPECT_THROW(q.FieldDefs().Update(), lum::ELUMDatabaseError);
    failFieldType = false;
    ASSERT_EQ(cursorCalls.size(), 2u);
    EXPECT_EQ(cursorCalls[0].substr(5), cursorCalls[1].substr(6));
    EXPECT_FALSE(q.FieldDefs().Updated());
    EXPECT_FALSE(q.Active());
    q.SetEngine(lum::DefaultEngine());
    c.table->SetEngine(lum::DefaultEngine());
}

// Money and 64-bit integer columns read as fixed point; as a 32-bit integer
// the value is rounded, an exact half to even, and one beyond 32 bits is out
// of the field's range instead of wrapping.
TEST(FixedPointFields, AnIntegerBeyond32BitsIsOutOfRange) {
    struct Case {
        const char* column;
        Value value;
        std::optional<std::int32_t> integer;  // none: out of range
        const char* text;
    };
    const std::int64_t unit = 10000;  // money keeps four decimals
    const Case cases[] = {
        {"Money", Value::ofScaled(2147483647 * unit), 2147483647, "2147483647"},
        {"Money", Value::ofScaled(-2147483648 * unit), -2147483647 - 1, "-2147483648"},
        {"Money", Value::ofScaled(2147483648 * unit), std::nullopt, "2147483648"},
        {"Money", Value::ofScaled(-2147483649 * unit), std::nullopt, "-2147483649"},
        {"Money", Value::ofScaled(2147483647 * unit + 4999), 2147483647, "2147483647.4999"},
        {"Money", Value::ofScaled(2147483647 * unit + 5000), std::nullopt, "2147483647.5"},
        {"Money", Value::ofScaled(2147483646 * unit + 5000), 2147483646, "2147483646.5"},
        {"Money", Value::ofScaled(-2147483648 * unit - 5000), -2147483647 - 1, "-2147483648.5"},
        {"Money", Value::ofScaled(-2147483648 * unit - 5001), std::nullopt, "-2147483648.5001"},
        {"Money", Value::ofScaled(5000), 0, "0.5"},
        {"Money", Value::ofScaled(15000), 2, "1.5"},
        {"Money", Value::ofScaled(-25000), -2, "-2.5"},
        {"Money", Value::ofScaled(123456789012 * unit), std::nullopt, "123456789012"},
        {"Money", Value::ofScaled(std::numeric_limits<std::int64_t>::max()), std::nullopt, "922337203685477.5807"},
        {"Big", Value::ofInteger(2147483647), 2147483647, "2147483647"},
        {"Big", Value::ofInteger(-2147483648), -2147483647 - 1, "-2147483648"},
        {"Big", Value::ofInteger(2147483648), std::nullopt, "2147483648"},
        {"Big", Value::ofInteger(-2147483649), std::nullopt, "-2147483649"},
        {"Big", Value::ofInteger(123456789012), std::nullopt, "123456789012"},
    };
    TempDir dir;
    lce::TableSchema schema;
    schema.columns = {Col("Money", lce::kMoney), Col("Big", lce::kLongInteger)};
    {
        auto t = lce::TableFile::create(dir.path("FIXED.LDT"), schema);
        for (const Case& c : cases) {
            const bool money = std::string(c.column) == "Money";
            t.append({money ? c.value : Value::null(), money ? Value::null() : c.value});
        }
    }
    lum::TLumConnection connection;
    connection.SetConnectPath(dir.path());
    lum::TLumTable table;
    table.SetLumConnection(&connection);
    table.SetTableName("FIXED.LDT");
    table.SetActive(true);
    table.MoveToFirst();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.column) + " " + c.text);
        ASSERT_FALSE(table.AtEnd());
        const fw::TField& field = table.FieldNamed(c.column);
        EXPECT_EQ(field.DataType(), TFieldType::ftBCD);
        EXPECT_EQ(field.ValueAsText(), c.text);
        if (c.integer) {
            EXPECT_EQ(field.ValueAsInteger(), *c.integer);
        } else {
            try {
                const std::int32_t wrapped = field.ValueAsInteger();
                ADD_FAILURE() << "read as " << wrapped;
            } catch (const fw::EOverflow& e) {
                EXPECT_EQ(e.Message(), std::string("Value of field '") + c.column + "' is out of range");
            }
        }
        table.MoveToNext();
    }
}

// Columns are found by name ignoring case as the system's locale does for
// 8-bit names: the first of the name, -1 for none.
TEST(ColumnNames, AColumnIsFoundByItsNameInAnyCase) {
    lum::TLCEFieldDefs columns;
    for (const char* name : {"Entry Number", "\xC4nderung", "Entry Number", "\x8Atefan", "Na\xEFve"}) {
        lum::TLCEFieldDef def;
        def.ColumnName = name;
        columns.Add(def);
    }
    const std::pair<const char*, int> cases[] = {
        {"Entry Number", 0},
        {"ENTRY NUMBER", 0},
        {"entry number", 0},
        {"\xE4NDERUNG", 1},  // Ä / ä
        {"\x9ATEFAN", 3},
        {"NA\xCFVE", 4},
        {"Nai\xA8ve", -1},
        {"EntryNumber", -1},
        {"Entry Number ", -1},
        {"Naive", -1},
        {"", -1},
    };
    for (const auto& [name, index] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(columns.IndexOf(name), index);
    }
}

}  // namespace
}  // namespace lumtest
