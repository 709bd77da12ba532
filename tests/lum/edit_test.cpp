// Records edited through the access layer: every column type written on
// every table type comes back byte for byte as the engine writes it itself,
// new records and deletions keep index order, a detail's new record takes its
// master's key.
#include <cstring>
#include <optional>

#include "data/engine/record_format.h"
#include "data/lum/errors.h"
#include "tests/lum/fixture.h"
#include "tests/lum/table_cases.h"

namespace lumtest {
namespace {

using lce::Value;

// A column type and the value the engine writes into the reference record.
// Blobs are written through streams, and auto-increment values are the
// table's own, so neither is among them.
struct ColumnCase {
    std::uint16_t type;
    std::uint32_t length;
    std::uint16_t decimals;
    Value value;
};

std::vector<ColumnCase> ColumnCases() {
    return {
        {LUM_LOGICAL, 0, 0, Value::ofLogical(true)},
        {LUM_NUMERIC, 10, 2, Value::ofDouble(-12.5)},
        {LUM_DATE, 0, 0, Value::ofDate(2451545)},
        {LUM_STRING, 10, 0, Value::ofText("A1234")},
        {LUM_COMPACTDATE, 0, 0, Value::ofDate(2451546)},
        {LUM_DOUBLE, 0, 0, Value::ofDouble(30.25)},
        {LUM_INTEGER, 0, 0, Value::ofInteger(-42)},
        {LUM_SHORTINT, 0, 0, Value::ofInteger(-7)},
        {LUM_TIME, 0, 0, Value::ofTime(3600005)},
        {LUM_TIMESTAMP, 0, 0, Value::ofTimestamp(2451545, 3600005)},
        {LUM_RAW, 4, 0, Value::ofBinary("ABCD")},
        {LUM_CURDOUBLE, 0, 0, Value::ofDouble(2.5)},
        {LUM_MONEY, 0, 0, Value::ofScaled(1234567)},
        {LUM_CISTRING, 10, 0, Value::ofText("Abc")},
        {LUM_LONGLONG, 0, 0, Value::ofInteger(1234)},
        {LUM_MODTIME, 0, 0, Value::ofTimestamp(2451546, 5000)},
        {LUM_VARCHAR, 10, 0, Value::ofText("var")},
        {LUM_VARBINARY, 4, 0, Value::ofBinary("WXYZ")},  // fills its column
        {LUM_VARBINARY, 6, 0, Value::ofBinary("QR")},
    };
}

std::string ColumnName(const ColumnCase& k) { return "C" + std::to_string(k.type) + "_" + std::to_string(k.length); }

bool Binary(const fw::TField& field) {
    return field.DataType() == fw::TFieldType::ftBytes || field.DataType() == fw::TFieldType::ftVarBytes;
}

std::vector<std::uint8_t> EngineImage(lum::TLumTable& table) {
    UNSIGNED32 length = 0;
    EXPECT_EQ(LumGetRecordLength(table.CursorHandle(), &length), 0u);
    std::vector<std::uint8_t> image(length);
    EXPECT_EQ(LumGetRecord(table.CursorHandle(), image.data(), &length), 0u);
    return image;
}

// The images of two records compared column by column (and the bytes no
// column owns: the deletion flag, VFP's system field).
void ExpectSameImage(const lum::TLumTable& table, const std::vector<std::uint8_t>& expected,
                     const std::vector<std::uint8_t>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    std::vector<bool> owned(expected.size(), false);
    for (std::size_t i = 0; i < table.LCEFieldDefs().Count(); ++i) {
        const lum::TLCEFieldDef& column = table.LCEFieldDefs()[i];
        const std::size_t extent =
            record_format::ImageExtent(table.EngineTableType(), column.EngineType, column.ColumnLength);
        const std::vector<std::uint8_t> want(expected.begin() + column.ColumnOffset,
                                             expected.begin() + column.ColumnOffset + extent);
        const std::vector<std::uint8_t> got(actual.begin() + column.ColumnOffset,
                                            actual.begin() + column.ColumnOffset + extent);
        EXPECT_EQ(got, want) << column.ColumnName;
        for (std::size_t b = 0; b < extent; ++b) owned[column.ColumnOffset + b] = true;
    }
    for (std::size_t b = 0; b < expected.size(); ++b) {
        if (!owned[b]) {
            EXPECT_EQ(actual[b], expected[b]) << "byte " << b;
        }
    }
}

class TableOnDisk {
public:
    TableOnDisk(const TempDir& dir, const std::string& file, lum::TLumTableTypes type) {
        connection.SetConnectPath(dir.path());
        table.SetName("tblEdit");
        table.SetLumConnection(&connection);
        table.SetTableName(file);
        table.SetTableType(type);
    }
    lum::TLumConnection connection;
    lum::TLumTable table;
};

// Record 2 (nulls) takes record 1's values and record 4 (values) is
// cleared, both through the layer; after reopening, record 2's image is
// record 1's and record 4's record 3's, both written by the engine itself.
TEST(Editing, EveryColumnTypeRoundTripsOnEveryTableType) {
    const std::vector<ColumnCase> cases = ColumnCases();
    for (const TableCase& t : tableCases) {
        SCOPED_TRACE(std::string(1, t.letter));
        TempDir dir;
        lce::TableSchema schema;
        schema.tableType = t.tableType;
        lce::Row values, nulls;
        for (const ColumnCase& k : cases) {
            if (!record_format::TypeAllowed(t.tableType, k.type)) continue;
            lce::ColumnDef def;
            def.name = ColumnName(k);
            def.type = k.type;
            def.length = k.length;
            def.decimals = k.decimals;
            def.nullable = t.nullable;
            schema.columns.push_back(def);
            values.push_back(k.value);
            nulls.push_back(Value::null());
        }
        {
            auto file = lce::TableFile::create(dir.path("T.LDT"), schema);
            for (const lce::Row* row : {&values, &nulls, &nulls, &values}) file.append(*row);
        }
        TableOnDisk disk(dir, "T.LDT", t.openAs);
        lum::TLumTable& table = disk.table;
        table.SetActive(true);
        table.MoveToFirst();
        std::vector<fw::Variant> reference;
        std::vector<std::string> referenceText;
        for (std::size_t i = 0; i < table.FieldCount(); ++i) {
            reference.push_back(table.Field(i).ValueAsVariant());
            referenceText.push_back(table.Field(i).ValueAsText());
        }
        table.MoveToNext();
        table.Edit();
        for (std::size_t i = 0; i < table.FieldCount(); ++i) {
            fw::TField& field = table.Field(i);
            SCOPED_TRACE(field.FieldName());
            if (Binary(field)) {
                field.SetValueAsText(referenceText[i]);
            } else {
                field.SetValueAsVariant(reference[i]);
            }
            // Read back from the record being edited.
            EXPECT_EQ(field.ValueAsText(), referenceText[i]);
        }
        table.Post();
        table.MoveToNext();
        table.MoveToNext();
        table.Edit();
        for (std::size_t i = 0; i < table.FieldCount(); ++i) table.Field(i).Clear();
        table.Post();
        table.SetActive(false);

        table.SetActive(true);
        std::vector<std::vector<std::uint8_t>> images;
        for (table.MoveToFirst(); !table.AtEnd(); table.MoveToNext()) images.push_back(EngineImage(table));
        ASSERT_EQ(images.size(), 4u);
        {
            SCOPED_TRACE("values");
            ExpectSameImage(table, images[0], images[1]);
        }
        {
            SCOPED_TRACE("nulls");
            ExpectSameImage(table, images[2], images[3]);
        }
    }
}

// ---- order -------------------------------------------------------------------

std::vector<std::string> Names(lum::TLumTable& table) {
    std::vector<std::string> names;
    for (table.MoveToFirst(); !table.AtEnd(); table.MoveToNext())
        names.push_back(table.FieldNamed("Name").ValueAsText());
    return names;
}

// A table of names with an index on them, in the table type asked for.
void BuildNames(const TempDir& dir, std::uint16_t tableType, const std::vector<std::string>& names) {
    lce::TableSchema schema;
    schema.tableType = tableType;
    lce::ColumnDef name;
    name.name = "Name";
    name.type = LUM_STRING;
    name.length = 8;
    lce::ColumnDef count;
    count.name = "Count";
    count.type = LUM_INTEGER;
    schema.columns = {name, count};
    lce::IndexDef byName;
    byName.name = "BYNAME";
    byName.fields = {"Name"};
    byName.unique = true;
    schema.indexes = {byName};
    auto file = lce::TableFile::create(dir.path("N.LDT"), schema);
    for (const std::string& n : names) file.append({Value::ofText(n), Value::ofInteger(1)});
}

TEST(Editing, NewRecordsAndDeletionsKeepIndexOrder) {
    TempDir dir;
    BuildNames(dir, LUM_LDT, {"D", "B"});
    TableOnDisk disk(dir, "N.LDT", lum::TLumTableTypes::ttLumLDT);
    lum::TLumTable& table = disk.table;
    table.SetIndexName("BYNAME");
    table.SetActive(true);
    table.MoveToFirst();
    table.MoveToNext();  // on D
    table.Insert();      // before D
    table.FieldNamed("Name").SetValueAsText("C");
    table.Post();
    EXPECT_EQ(table.FieldNamed("Name").ValueAsText(), "C");  // the cursor stays on the new record
    table.Append();
    table.FieldNamed("Name").SetValueAsText("A");
    table.Post();
    EXPECT_EQ(table.FieldNamed("Name").ValueAsText(), "A");
    EXPECT_EQ(Names(table), (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(table.CountRecords(), 4);

    table.MoveToFirst();
    table.MoveToNext();  // B
    table.Delete();
    EXPECT_EQ(table.FieldNamed("Name").ValueAsText(), "C");  // the next record
    table.MoveToLast();
    table.Delete();
    EXPECT_EQ(table.FieldNamed("Name").ValueAsText(), "C");  // the last one left
    table.InsertRecord({fw::Variant(std::string("E")), fw::Variant(std::int32_t{5})});
    EXPECT_EQ(table.FieldNamed("Count").ValueAsInteger(), 5);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"A", "C", "E"}));
    table.SetActive(false);
    table.SetActive(true);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"A", "C", "E"}));
}

// A deleted DBF record keeps its place with its deletion flag: shown, it
// stays current; hidden, the dataset goes on to the next record.
TEST(Editing, DeletedDbfRecordsStayOrAreSkipped) {
    struct Case {
        std::uint16_t tableType;
        lum::TLumTableTypes openAs;
        bool shown;
        const char* current;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {LUM_CDX, lum::TLumTableTypes::ttLumCDX, true, "B", {"A", "B", "C"}},
        {LUM_CDX, lum::TLumTableTypes::ttLumCDX, false, "C", {"A", "C"}},
        {LUM_VFP, lum::TLumTableTypes::ttLumVFP, false, "C", {"A", "C"}},
        {LUM_LDT, lum::TLumTableTypes::ttLumLDT, true, "C", {"A", "C"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.tableType) + (k.shown ? " shown" : " hidden"));
        TempDir dir;
        BuildNames(dir, k.tableType, {"A", "B", "C"});
        TableOnDisk disk(dir, "N.LDT", k.openAs);
        lum::TLumTable& table = disk.table;
        table.SetIndexName("BYNAME");
        LumShowDeleted(k.shown ? 1 : 0);
        table.SetActive(true);
        table.MoveToFirst();
        table.MoveToNext();
        table.Delete();
        EXPECT_EQ(table.FieldNamed("Name").ValueAsText(), k.current);
        EXPECT_EQ(Names(table), k.names);
        LumShowDeleted(1);
    }
}

// ---- a detail's new record ---------------------------------------------------------

TEST(Editing, ANewDetailRecordTakesItsMastersKey) {
    TempDir dir;
    BuildNames(dir, LUM_LDT, {"M1", "M2"});
    {
        lce::TableSchema schema;
        lce::ColumnDef owner;
        owner.name = "Owner";
        owner.type = LUM_STRING;
        owner.length = 8;
        lce::ColumnDef item;
        item.name = "Item";
        item.type = LUM_INTEGER;
        schema.columns = {owner, item};
        lce::IndexDef byOwner;
        byOwner.name = "BYOWNER";
        byOwner.fields = {"Owner", "Item"};
        schema.indexes = {byOwner};
        auto file = lce::TableFile::create(dir.path("D.LDT"), schema);
        file.append({Value::ofText("M1"), Value::ofInteger(1)});
        file.append({Value::ofText("M2"), Value::ofInteger(2)});
    }
    lum::TLumConnection connection;
    connection.SetConnectPath(dir.path());
    lum::TLumTable master, detail;
    master.SetLumConnection(&connection);
    master.SetTableName("N.LDT");
    master.SetIndexName("BYNAME");
    detail.SetName("tblDetail");
    detail.SetLumConnection(&connection);
    detail.SetTableName("D.LDT");
    detail.SetIndexName("BYOWNER");
    fw::TDataSource source;
    source.SetDataSet(&master);
    detail.SetMasterSource(&source);
    detail.SetMasterFields("Name");
    master.SetActive(true);
    detail.SetActive(true);
    master.MoveToFirst();
    master.MoveToNext();  // M2
    detail.Append();
    EXPECT_EQ(detail.FieldNamed("Owner").ValueAsText(), "M2");
    EXPECT_FALSE(detail.Modified());  // the master's key is not a change
    detail.FieldNamed("Item").SetValueAsInteger(3);
    detail.Post();
    std::vector<std::int32_t> items;
    for (detail.MoveToFirst(); !detail.AtEnd(); detail.MoveToNext()) {
        EXPECT_EQ(detail.FieldNamed("Owner").ValueAsText(), "M2");
        items.push_back(detail.FieldNamed("Item").ValueAsInteger());
    }
    EXPECT_EQ(items, (std::vector<std::int32_t>{2, 3}));
    // The master's move settles an edit of the detail first.
    detail.Edit();
    detail.FieldNamed("Item").SetValueAsInteger(4);
    master.MoveToFirst();
    EXPECT_EQ(detail.State(), fw::TDataSetState::dsBrowse);
    master.MoveToNext();
    items.clear();
    for (detail.MoveToFirst(); !detail.AtEnd(); detail.MoveToNext())
        items.push_back(detail.FieldNamed("Item").ValueAsInteger());
    EXPECT_EQ(items, (std::vector<std::int32_t>{2, 4}));
}

}  // namespace
}  // namespace lumtest
