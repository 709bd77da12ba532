// The table component on practices payxref-db creates: a new TableName and
// the definitions that follow it, the stored field and index definitions of
// tblpay checked against the real ZTTRN, the table-type rules of aliases,
// and extra index files opened and closed with the table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <variant>

#include "data/lum/errors.h"
#include "data/lum/stored_defs.h"
#include "data/lum/streaming.h"
#include "engine/lce_builder.h"
#include "framework/reader.h"
#include "search/stored_transaction_defs.h"
#include "tests/lum/binding_fixture.h"
#include "tests/lum/fixture.h"
#include "tools/commands.h"

namespace lumtest {
namespace {

using lce::Value;
using lum::StoredProperties;
using lum::TLumTableTypes;

// Stored properties as lines "path = value", to compare and to show.
std::string Text(const StoredProperties& properties) {
    std::ostringstream out;
    for (const auto& [path, value] : properties) {
        out << path << " = ";
        if (const auto* text = std::get_if<std::string>(&value)) out << '"' << *text << '"';
        if (const auto* number = std::get_if<long long>(&value)) out << *number;
        if (const auto* flag = std::get_if<bool>(&value)) out << (*flag ? "true" : "false");
        if (const auto* ident = std::get_if<fw::Ident>(&value)) out << ident->Name;
        if (const auto* set = std::get_if<fw::IdentSet>(&value))
            for (const std::string& item : set->Items) out << item << ' ';
        out << '\n';
    }
    return out.str();
}

std::vector<std::string> IndexNames(const fw::TIndexDefs& defs) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < defs.Count(); ++i) names.push_back(defs[i].Name);
    return names;
}

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no exception)";
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[entry.path().filename().string()] = bytes.str();
    }
    return files;
}

// The engine calls a test looks at, as the engine receives them.
std::vector<std::string> calls;
const LumFunctions* realEngine = &lum::DefaultEngine();

std::string IndexNameOf(LUMHANDLE index) {
    char name[260] = {};
    UNSIGNED16 length = sizeof name;
    realEngine->LumGetIndexName(index, name, &length);
    return name;
}

// The calls that open or close index files, in order.
std::vector<std::string> IndexFileCalls() {
    std::vector<std::string> seen;
    for (const std::string& call : calls)
        if (call.rfind("OpenIndex", 0) == 0 || call.rfind("CloseIndex", 0) == 0) seen.push_back(call);
    return seen;
}

LumFunctions Recording() {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumOpenTable90 = [](LUMHANDLE connection, const char* name, const char* alias, UNSIGNED16 type,
                               UNSIGNED16 charType, UNSIGNED16 lockType, UNSIGNED16 rights, UNSIGNED32 options,
                               const char* collation, LUMHANDLE* table) {
        calls.push_back(std::string("OpenTable(") + name + ")");
        return realEngine->LumOpenTable90(connection, name, alias, type, charType, lockType, rights, options, collation,
                                          table);
    };
    engine.LumCloseTable = [](LUMHANDLE table) {
        calls.push_back("CloseTable");
        return realEngine->LumCloseTable(table);
    };
    engine.LumGetNumFields = [](LUMHANDLE table, UNSIGNED16* count) {
        calls.push_back("GetNumFields");
        return realEngine->LumGetNumFields(table, count);
    };
    engine.LumGetNumIndexes = [](LUMHANDLE table, UNSIGNED16* count) {
        calls.push_back("GetNumIndexes");
        return realEngine->LumGetNumIndexes(table, count);
    };
    engine.LumOpenIndex = [](LUMHANDLE table, const char* name, LUMHANDLE* handles, UNSIGNED16* count) {
        calls.push_back(std::string("OpenIndex(") + name + ", " + std::to_string(*count) + ")");
        return realEngine->LumOpenIndex(table, name, handles, count);
    };
    engine.LumCloseIndex = [](LUMHANDLE index) {
        calls.push_back("CloseIndex(" + IndexNameOf(index) + ")");
        return realEngine->LumCloseIndex(index);
    };
    return engine;
}

// The practice payxref-db creates, with the search's components on it; the
// table reads the whole of ZTTRN, without the query.
class PracticeTable : public ::testing::Test {
protected:
    void SetUp() override {
        payxref::db::CreatePractice(dir.path(), payxref::db::DefaultLayout());
        c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
        c.table->SetMasterSource(nullptr);
        calls.clear();
    }
    void TearDown() override { c.table->SetEngine(lum::DefaultEngine()); }
    // Transactions with these chart numbers, entry numbers 1, 2, ... in order.
    void AddTransactions(const std::vector<std::string>& charts) {
        auto file = lce::TableFile::openForAppend(dir.path("ZTTRN.LDT"));
        const lce::TableSchema& schema = file.schema();
        for (const std::string& chart : charts) {
            lce::Row row(schema.columns.size());
            row[static_cast<std::size_t>(schema.columnIndex("Chart Number"))] = Value::ofText(chart);
            row[static_cast<std::size_t>(schema.columnIndex("Transaction Type"))] = Value::ofText("I");
            file.append(row);
        }
    }
    std::vector<std::int32_t> Entries() {
        std::vector<std::int32_t> entries;
        for (c.table->MoveToFirst(); !c.table->AtEnd(); c.table->MoveToNext())
            entries.push_back(c.table->FieldNamed("Entry Number").ValueAsInteger());
        return entries;
    }
    TempDir dir;
    Components c;
};

// ---- stored definitions ---------------------------------------------------

// The window's stored definitions of ZTTRN are those the layer reads from the
// ZTTRN payxref-db creates; while the table is closed they are shown without
// a word to the engine.
TEST_F(PracticeTable, StoredDefinitionsAreThoseOfTheRealTableAndServeWhileClosed) {
    const LumFunctions engine = Recording();
    c.table->SetEngine(engine);
    EXPECT_TRUE(c.table->StoreDefs());
    EXPECT_EQ(c.table->IndexDefs().Count(), 24u);
    c.table->UpdateFieldDefs();
    EXPECT_EQ(c.table->FieldDefs().Count(), 122u);
    EXPECT_EQ(calls, std::vector<std::string>{});
    EXPECT_FALSE(c.connection->IsConnected());
    EXPECT_EQ(Text(c.table->StoredDefs()), Text(app::StoredTransactionDefs()));

    c.table->SetActive(true);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "OpenTable(ZTTRN.LDT)");
    c.table->SetActive(false);
    // Now the definitions are the engine's: the stored ones must equal them.
    EXPECT_EQ(Text(c.table->StoredDefs()), Text(app::StoredTransactionDefs()));
}

// A few rows of the practice's documented layout, against the stored form.
TEST(StoredTransactionDefs, RowsOfTheDocumentedLayout) {
    fw::TComponent root;
    fw::TReader reader;
    lum::RegisterLumClasses(reader);
    fw::StoredWindow window;
    window.Components.push_back({"TLumTable", "tblpay", app::StoredTransactionDefs()});
    reader.Read(root, window);
    auto& table = dynamic_cast<lum::TLumTable&>(*root.FindComponent("tblpay"));
    const fw::TFieldDefs& fields = table.FieldDefs();
    ASSERT_EQ(fields.Count(), 122u);
    struct FieldRow {
        std::size_t number;
        const char* name;
        fw::TFieldType type;
        std::int32_t size, precision;
    };
    const FieldRow fieldRows[] = {
        {1, "Chart Number", fw::TFieldType::ftString, 8, 0},
        {3, "Entry Number", fw::TFieldType::ftAutoInc, 0, 0},
        {24, "Amount", fw::TFieldType::ftFloat, 0, 0},
        {26, "Diagnosis 1", fw::TFieldType::ftBoolean, 0, 0},
        {55, "Documentation", fw::TFieldType::ftMemo, 1, 0},
        {72, "Unapplied Amount", fw::TFieldType::ftCurrency, 0, 0},
        {73, "Date Modified", fw::TFieldType::ftDateTime, 0, 0},
        {87, "Copayment_Expected_Amount", fw::TFieldType::ftBCD, 4, 20},
        {122, "NDCPrescriptionNumber", fw::TFieldType::ftString, 30, 0},
    };
    for (const FieldRow& row : fieldRows) {
        SCOPED_TRACE(row.name);
        const fw::TFieldDef& def = fields[row.number - 1];
        EXPECT_EQ(def.Name, row.name);
        EXPECT_EQ(def.DataType, row.type);
        EXPECT_EQ(def.Size, row.size);
        EXPECT_EQ(def.Precision, row.precision);
        EXPECT_EQ(def.FieldNo, static_cast<std::int32_t>(row.number));
    }
    const fw::TIndexDefs& indexes = table.IndexDefs();  // closed: the stored ones
    ASSERT_EQ(indexes.Count(), 24u);
    struct IndexRow {
        std::size_t number;
        const char* name;
        const char* fields;
        std::uint8_t options;
    };
    const auto unique = static_cast<std::uint8_t>(fw::TIndexOption::ixUnique);
    const IndexRow indexRows[] = {
        {1, "IDXENTRY NUMBER", "CC ENTRY NUMBER", 0},
        {8, "IDXENTRYNUMBER", "ENTRY NUMBER", 0},
        {9, "PRIMARY", "CHART NUMBER;CASE NUMBER;ENTRY NUMBER;TOOTH NUMBER", unique},
        {23, "IDXCHARTCASESERVDT", "CHART NUMBER;CASE NUMBER;DATE FROM;ENTRY NUMBER", unique},
        {24, "IDXUBGROUP",
         "CLAIM NUMBER;REVENUE_CODE;PROCEDURE CODE;MODIFIER 1;MODIFIER 2;MODIFIER 3;MODIFIER 4;DATE FROM", 0},
    };
    for (const IndexRow& row : indexRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(indexes[row.number - 1].Name, row.name);
        EXPECT_EQ(indexes[row.number - 1].Fields, row.fields);
        EXPECT_EQ(indexes[row.number - 1].Options, row.options);
    }
    // Read, the definitions do not ask for storing; StoreDefs is stored apart.
    EXPECT_FALSE(table.StoreDefs());
    EXPECT_EQ(table.StoredDefs().size(), 0u);
}

// Definitions that differ from the table's own change nothing at open: the
// index is chosen from the engine's, which then replace them.
TEST_F(PracticeTable, StoredIndexDefinitionsHaveNoSayInTheOrder) {
    AddTransactions({"D", "C", "B", "A"});
    fw::TIndexDefs wrong;
    wrong.Add("IDXCHARTNUMBER", "ENTRY NUMBER", 0);
    c.table->SetIndexDefs(wrong);
    EXPECT_EQ(IndexNames(c.table->IndexDefs()), std::vector<std::string>{"IDXCHARTNUMBER"});
    c.table->SetActive(true);
    EXPECT_EQ(Entries(), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(c.table->IndexDefs().Count(), 24u);
    c.table->SetActive(false);
    EXPECT_EQ(c.table->IndexDefs().Count(), 24u);
}

// StoreDefs follows changes from outside, not reading; only a non-empty
// collection is stored, and nothing without StoreDefs.
TEST(StoredDefinitions, StoreDefsAndWhatIsStored) {
    fw::TFieldDefs fields;
    fields.Add("Chart Number", fw::TFieldType::ftString, 8, false);
    fw::TIndexDefs indexes;
    indexes.Add("IDXCHART", "CHART NUMBER", static_cast<std::uint8_t>(fw::TIndexOption::ixUnique));
    struct Case {
        const char* what;
        std::function<void(lum::TLumTable&)> change;
        bool storeDefs;
        const char* stored;
    };
    const Case cases[] = {
        {"nothing changed", [](lum::TLumTable&) {}, false, ""},
        {"field definitions set", [&](lum::TLumTable& t) { t.SetFieldDefs(fields); }, true,
         "FieldDefs[0].Name = \"Chart Number\"\nFieldDefs[0].DataType = ftString\nFieldDefs[0].Size = 8\n"},
        {"index definitions set", [&](lum::TLumTable& t) { t.SetIndexDefs(indexes); }, true,
         "IndexDefs[0].Name = \"IDXCHART\"\nIndexDefs[0].Fields = \"CHART NUMBER\"\nIndexDefs[0].Options = ixUnique "
         "\n"},
        {"set, but StoreDefs turned off",
         [&](lum::TLumTable& t) {
             t.SetIndexDefs(indexes);
             t.SetStoreDefs(false);
         },
         false, ""},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.what);
        lum::TLumTable table;
        x.change(table);
        EXPECT_EQ(table.StoreDefs(), x.storeDefs);
        EXPECT_EQ(Text(table.StoredDefs()), x.stored);
    }
}

// Stored definitions that cannot be read are refused with the property named.
TEST(StoredDefinitions, MalformedItemsAreRefused) {
    struct Case {
        StoredProperties properties;
        const char* message;
    };
    const Case cases[] = {
        {{{"FieldDefs[1].Name", std::string("A")}}, "Invalid property value: FieldDefs[1].Name"},
        {{{"FieldDefs[x].Name", std::string("A")}}, "Invalid property value: FieldDefs[x].Name"},
        {{{"FieldDefs[0]Name", std::string("A")}}, "Invalid property value: FieldDefs[0]Name"},
        {{{"FieldDefs[0].Name", 5LL}}, "Invalid property value: FieldDefs[0].Name"},
        {{{"FieldDefs[0].DataType", fw::Ident{"ftNothing"}}}, "Invalid property value: FieldDefs[0].DataType"},
        {{{"FieldDefs[0].Size", -1LL}}, "Invalid property value: FieldDefs[0].Size"},
        {{{"FieldDefs[0].Colour", std::string("red")}}, "Invalid property value: FieldDefs[0].Colour"},
        {{{"IndexDefs[0].Fields", std::string("A")}}, "Invalid property value: IndexDefs[0].Fields"},
        {{{"IndexDefs[0].Name", std::string("X")}, {"IndexDefs[0].Options", fw::IdentSet{{"ixSorted"}}}},
         "Invalid property value: IndexDefs[0].Options"},
        {{{"IndexDefs[0].Name", std::string("X")}, {"IndexDefs[1].Name", std::string("x")}},
         "Duplicate index name 'x'"},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.message);
        lum::TLumTable table;
        EXPECT_EQ(MessageOf([&] {
                      for (const auto& [path, value] : x.properties) table.SetStoredProperty(path, value);
                  }),
                  x.message);
    }
}

// ---- TableName --------------------------------------------------------------

// After another TableName the definitions are those of the new table, whether
// the old ones were read from the engine or stored.
TEST_F(PracticeTable, ANewTableNameBringsTheNewTablesDefinitions) {
    struct Case {
        const char* what;
        bool stored;
    };
    for (const Case& x : {Case{"read from the engine", false}, Case{"stored", true}}) {
        SCOPED_TRACE(x.what);
        lum::TLumTable fresh;
        fresh.SetLumConnection(c.connection);
        fresh.SetTableName("ZTTRN.LDT");
        lum::TLumTable& table = x.stored ? *c.table : fresh;
        ASSERT_EQ(table.IndexDefs().Count(), 24u);
        table.UpdateFieldDefs();
        ASSERT_EQ(table.FieldDefs().Count(), 122u);

        table.SetTableName("ZTPAX.LDT");
        EXPECT_EQ(IndexNames(table.IndexDefs()),
                  (std::vector<std::string>{"IDXPAYMENTREFERENCE", "IDXCHARGEREFERENCE"}));
        table.UpdateFieldDefs();
        ASSERT_EQ(table.FieldDefs().Count(), 5u);
        EXPECT_EQ(table.FieldDefs()[0].Name, "Payment Reference");

        table.SetTableName("ZTTRN.LDT");
        EXPECT_EQ(table.IndexDefs().Count(), 24u);
        table.UpdateFieldDefs();
        EXPECT_EQ(table.FieldDefs().Count(), 122u);
    }
}

// Links hear when a property that shapes the records changes, while the
// dataset is closed as such properties change only then: a table's name, a
// query's statement.
TEST_F(PracticeTable, LinksHearOfANewTableNameOrStatement) {
    class Heard : public fw::TDataLink {
    public:
        int changes = 0;

    protected:
        void DataSetPropertyChanged() override { ++changes; }
    };
    struct Case {
        const char* what;
        fw::TDataSet& dataSet;
        std::function<void()> change;
    };
    lum::TLumTable table;
    table.SetLumConnection(c.connection);
    table.SetTableName("ZTTRN.LDT");
    lum::TLumQuery& query = *c.query;
    const Case cases[] = {
        {"table name", table, [&] { table.SetTableName("ZTPAX.LDT"); }},
        {"statement", query, [&] { query.SetSQL({"SELECT [Amount] FROM ZTTRN"}); }},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.what);
        fw::TDataSource source;
        source.SetDataSet(&x.dataSet);
        Heard link;
        link.SetDataSource(&source);
        x.change();
        EXPECT_EQ(link.changes, 1);
        x.dataSet.SetActive(true);
        x.dataSet.MoveToFirst();
        EXPECT_EQ(link.changes, 1);  // opening and moving are no property changes
        x.dataSet.SetActive(false);
    }
}

// A different name empties IndexFiles, the same name in other letters does
// not, nor does reading the component; an open table refuses a new name.
TEST_F(PracticeTable, ANewTableNameEmptiesTheIndexFiles) {
    struct Case {
        const char* name;
        std::size_t files;
    };
    const Case cases[] = {{"zttrn.ldt", 2}, {"ZTPAX.LDT", 0}};
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        lum::TLumTable table;
        table.SetTableName("ZTTRN.LDT");
        table.SetIndexFiles({"B.LDI", "A.LDI"});
        table.SetTableName(x.name);
        EXPECT_EQ(table.IndexFiles().Count(), x.files);
    }
    fw::TComponent root;
    fw::TReader reader;
    lum::RegisterLumClasses(reader);
    fw::StoredWindow window;
    window.Components.push_back({"TLumTable",
                                 "t",
                                 {{"TableName", std::string("ZTPAX.LDT")},
                                  {"IndexFiles.Strings", std::vector<std::string>{"X.LDI"}},
                                  {"TableName", std::string("ZTTRN.LDT")},
                                  {"InfoExpression", std::string("Chart Number")}}});
    reader.Read(root, window);
    auto& read = dynamic_cast<lum::TLumTable&>(*root.FindComponent("t"));
    EXPECT_EQ(read.IndexFiles().Count(), 1u);
    EXPECT_EQ(read.InfoExpression(), "Chart Number");

    c.table->SetActive(true);
    EXPECT_EQ(MessageOf([&] { c.table->SetTableName("ZTPAX.LDT"); }),
              "tblpay: Cannot perform this operation on an open dataset");
    EXPECT_EQ(c.table->TableName(), "ZTTRN.LDT");
}

// ---- table types and aliases ------------------------------------------------

// A dataset bound through an alias that names a table type keeps that type;
// every other binding allows every type, and the engine code follows it.
TEST(TableTypeRules, AnAliasFixesTheTableType) {
    TempDir dir;
    const EnvironmentGuard env;
    WriteLumIni(dir, "[Databases]\nCdx=/data/cdx;c\nPlain=/data/plain\nVfp=/data/vfp;V\nOpen=/data/open;x\n");
    fw::TComponent root;
    auto& connection = root.CreateOwned<lum::TLumConnection>();
    connection.SetName("LumConnection1");
    const std::string refused = "The table type must remain identical to the table type associated with the alias.";
    struct Case {
        const char* what;
        const char* databaseName;
        const char* connectionAlias;  // nullptr: no connection
        TLumTableTypes allowed;       // the one type allowed; ttLumDefault here: every type
        bool every;
    };
    const Case cases[] = {
        {"alias with C", "Cdx", nullptr, TLumTableTypes::ttLumCDX, false},
        {"alias without a letter", "PLAIN", nullptr, TLumTableTypes::ttLumLDT, false},
        {"alias with another letter", "Open", nullptr, TLumTableTypes::ttLumLDT, false},
        {"a folder named like an alias", "/data/Cdx", nullptr, TLumTableTypes::ttLumDefault, true},
        {"no alias of that name", "Nothing", nullptr, TLumTableTypes::ttLumDefault, true},
        {"no DatabaseName, no connection", "", nullptr, TLumTableTypes::ttLumDefault, true},
        {"the connection's alias with V", "", "Vfp", TLumTableTypes::ttLumVFP, false},
        {"the connection's alias without a type", "", "Plain", TLumTableTypes::ttLumDefault, true},
        {"the connection's alias under a DatabaseName that is no alias", "Nothing", "Vfp", TLumTableTypes::ttLumDefault,
         true},
    };
    const TLumTableTypes all[] = {TLumTableTypes::ttLumCDX, TLumTableTypes::ttLumNTX, TLumTableTypes::ttLumLDT,
                                  TLumTableTypes::ttLumDefault, TLumTableTypes::ttLumVFP};
    const std::uint16_t codes[] = {2, 1, 3, 3, 4};
    for (const Case& x : cases) {
        SCOPED_TRACE(x.what);
        connection.SetAliasName(x.connectionAlias != nullptr ? x.connectionAlias : "");
        auto& table = root.CreateOwned<lum::TLumTable>();
        if (x.connectionAlias != nullptr) table.SetLumConnection(&connection);
        table.SetDatabaseName(x.databaseName);
        table.ResolveDatabasePath();
        for (std::size_t i = 0; i < std::size(all); ++i) {
            SCOPED_TRACE(i);
            const TLumTableTypes before = table.TableType();
            const bool allowed = x.every || all[i] == x.allowed;
            EXPECT_EQ(MessageOf([&] { table.SetTableType(all[i]); }), allowed ? "(no exception)" : refused);
            EXPECT_EQ(table.TableType(), allowed ? all[i] : before);
            if (allowed) {
                EXPECT_EQ(table.OpenTableType(), codes[i]);
            }
        }
        root.DestroyOwned(table);
    }
    // The query's source table type follows the same rules.
    auto& query = root.CreateOwned<lum::TLumQuery>();
    query.SetDatabaseName("Cdx");
    EXPECT_EQ(MessageOf([&] { query.SetSourceTableType(TLumTableTypes::ttLumVFP); }), refused);
    EXPECT_EQ(query.SourceTableType(), TLumTableTypes::ttLumCDX);
}

// ---- index files --------------------------------------------------------------

lce::IndexDef Def(const std::string& name, const std::string& field, bool descending = false) {
    lce::IndexDef d;
    d.name = name;
    d.fields = {field};
    d.descending = descending;
    return d;
}

// ZTTRNX.LDI beside ZTTRN.LDT, ordering by chart number (IDXBYCHART) and by
// chart number descending (IDXCHARTDESC).
class IndexFiles : public PracticeTable {
protected:
    void SetUp() override {
        PracticeTable::SetUp();
        AddTransactions({"B", "D", "A", "C"});
        lce::createIndexFile(dir.path("ZTTRNX.LDI"),
                             {Def("IDXBYCHART", "Chart Number"), Def("IDXCHARTDESC", "Chart Number", true)});
        folder = c.table->ResolveDatabasePath();
    }
    std::string folder;
};

TEST(IndexFileList, SortedWithoutDuplicatesAndOwned) {
    lum::TLumTable table;
    table.IndexFiles().Add("b.ldi");
    table.IndexFiles().Add("A.LDI");
    table.IndexFiles().Add("C.LDI");
    table.IndexFiles().Add("B.LDI");
    EXPECT_EQ(std::vector<std::string>(table.IndexFiles().begin(), table.IndexFiles().end()),
              (std::vector<std::string>{"A.LDI", "b.ldi", "C.LDI"}));
    table.IndexFiles().Delete(1);
    EXPECT_EQ(table.IndexFiles().IndexOf("c.ldi"), 1);
    try {
        lum::TLumIndexFiles orphan(nullptr);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), "TLumIndexFiles instances require a non-nil owner");
        EXPECT_EQ(e.EngineErrorCode, lum::LayerErrorCode);
    }
}

// Listed files open with the table, in list order, from the database folder;
// a file that fails closes the table again.
TEST_F(IndexFiles, ListedFilesOpenWithTheTable) {
    const LumFunctions engine = Recording();
    c.table->SetEngine(engine);
    c.table->SetIndexFiles({"ZTTRNX.LDI"});
    c.table->SetIndexName("IDXCHARTDESC");
    c.table->SetActive(true);
    EXPECT_EQ(calls[0], "OpenTable(ZTTRN.LDT)");
    EXPECT_EQ(calls[1], "OpenIndex(" + folder + "\\ZTTRNX.LDI, 256)");
    EXPECT_EQ(Entries(), (std::vector<std::int32_t>{2, 4, 1, 3}));
    EXPECT_EQ(c.table->IndexDefs().Count(), 26u);
    c.table->SetActive(false);

    c.table->IndexFiles().Add("MISSING.LDI");
    calls.clear();
    try {
        c.table->SetActive(true);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.EngineErrorCode, static_cast<UNSIGNED32>(LUM_ERR_FILE_NOT_FOUND));
        EXPECT_NE(e.Message().find("tblpay: Index file "), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(c.table->Active());
    // The list is sorted: MISSING.LDI comes first, and ZTTRNX.LDI is not tried.
    EXPECT_EQ(calls, (std::vector<std::string>{"OpenTable(ZTTRN.LDT)", "OpenIndex(" + folder + "\\MISSING.LDI, 256)",
                                               "CloseTable"}));
}

// On an open table a file is opened and closed at once; a closed table
// refuses both operations.
TEST_F(IndexFiles, OpeningAndClosingOnTheOpenTable) {
    const std::string active = "Table must be Active.";
    EXPECT_EQ(MessageOf([&] { c.table->OpenIndexFile("ZTTRNX.LDI"); }), "tblpay: " + active);
    EXPECT_EQ(MessageOf([&] { c.table->CloseIndexFile("ZTTRNX.LDI"); }), "tblpay: " + active);
    const auto before = Snapshot(dir.path());
    const LumFunctions engine = Recording();
    c.table->SetEngine(engine);
    c.table->SetActive(true);
    EXPECT_EQ(Entries(), (std::vector<std::int32_t>{1, 2, 3, 4}));  // by ENTRY NUMBER
    struct Case {
        const char* what;
        std::function<void()> action;
        std::vector<std::string> calls;
        std::size_t indexes;
    };
    const std::string byPath = dir.path() + "/ZTTRNX.LDI";
    const Case cases[] = {
        {"a bare name lies in the database folder",
         [&] { c.table->OpenIndexFile("ZTTRNX.LDI"); },
         {"OpenIndex(" + folder + "\\ZTTRNX.LDI, 256)"},
         26},
        {"only the file name is compared when closing",
         [&] { c.table->CloseIndexFile("C:\\other\\zttrnx.ldi"); },
         {"CloseIndex(IDXBYCHART)"},
         24},
        {"a name with a folder is taken as it is",
         [&] { c.table->OpenIndexFile(byPath); },
         {"OpenIndex(" + byPath + ", 256)"},
         26},
        {"a file not open closes nothing", [&] { c.table->CloseIndexFile("OTHER.LDI"); }, {}, 26},
        {"closing by the bare name", [&] { c.table->CloseIndexFile("ZTTRNX.LDI"); }, {"CloseIndex(IDXBYCHART)"}, 24},
        {"the list opens a name added",
         [&] { c.table->IndexFiles().Add("ZTTRNX.LDI"); },
         {"OpenIndex(" + folder + "\\ZTTRNX.LDI, 256)"},
         26},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.what);
        calls.clear();
        x.action();
        EXPECT_EQ(IndexFileCalls(), x.calls);
        EXPECT_EQ(c.table->IndexDefs().Count(), x.indexes);
    }
    EXPECT_EQ(Entries(), (std::vector<std::int32_t>{1, 2, 3, 4}));  // the order stays
    // Removed from the list, the file is closed.
    calls.clear();
    c.table->IndexFiles().Delete(0);
    EXPECT_EQ(IndexFileCalls(), std::vector<std::string>{"CloseIndex(IDXBYCHART)"});
    EXPECT_EQ(c.table->IndexDefs().Count(), 24u);
    // A file that cannot be opened is not listed; emptying the list closes the rest.
    EXPECT_THROW(c.table->IndexFiles().Add("MISSING.LDI"), lum::ELUMDatabaseError);
    c.table->IndexFiles().Add("ZTTRNX.LDI");
    EXPECT_EQ(c.table->IndexFiles().Count(), 1u);
    calls.clear();
    c.table->IndexFiles().Clear();
    EXPECT_EQ(IndexFileCalls(), std::vector<std::string>{"CloseIndex(IDXBYCHART)"});
    EXPECT_EQ(c.table->IndexDefs().Count(), 24u);
    c.table->SetActive(false);
    EXPECT_TRUE(Snapshot(dir.path()) == before) << "the practice folder changed";
}

// Closing the file that holds the active index leaves the natural order;
// closing another keeps the order.
TEST_F(IndexFiles, ClosingTheFileOfTheActiveIndexLeavesTheNaturalOrder) {
    c.table->SetIndexFiles({"ZTTRNX.LDI"});
    c.table->SetActive(true);
    c.table->SetIndexName("IDXBYCHART");
    EXPECT_EQ(Entries(), (std::vector<std::int32_t>{3, 1, 4, 2}));
    c.table->CloseIndexFile("ZTTRNX.LDI");
    EXPECT_EQ(c.table->IndexName(), "");
    EXPECT_EQ(c.table->IndexSelection(), lum::TIndexSelection::None);
    EXPECT_EQ(c.table->ActiveHandle(), c.table->CursorHandle());
    EXPECT_EQ(Entries(), (std::vector<std::int32_t>{1, 2, 3, 4}));

    c.table->OpenIndexFile("ZTTRNX.LDI");
    c.table->SetIndexName("IDXCHARTNUMBER");  // one of the table's own
    c.table->CloseIndexFile("ZTTRNX.LDI");
    EXPECT_EQ(c.table->IndexName(), "IDXCHARTNUMBER");
    EXPECT_EQ(Entries(), (std::vector<std::int32_t>{3, 1, 4, 2}));
}

// When the record buffers cannot be laid out for a new order, the open
// table closes rather than go on with buffers of the old one.
UNSIGNED32 FailingBookmarkLength(LUMHANDLE, UNSIGNED32*) {
    realEngine->LumSetLastError(LUM_ERR_DAMAGED, "Injected failure");
    return LUM_ERR_DAMAGED;
}

TEST_F(PracticeTable, ANewOrderWithoutBuffersClosesTheTable) {
    AddTransactions({"B", "A"});
    c.table->SetActive(true);
    LumFunctions engine = lum::DefaultEngine();
    engine.LumGetBookmarkLength = &FailingBookmarkLength;
    c.table->SetEngine(engine);
    EXPECT_THROW(c.table->SetIndexFieldNames("CHART NUMBER"), lum::ELUMDatabaseError);
    EXPECT_FALSE(c.table->Active());
    EXPECT_EQ(c.table->CursorHandle(), lum::NoHandle);
    EXPECT_EQ(c.table->IndexFieldNames(), "ENTRY NUMBER");  // the setter put back its value
}

// ---- provider support -------------------------------------------------------

TEST(TableProvider, TheTableNameLosesAFourCharacterExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"ZTTRN.LDT", "ZTTRN"}, {"ZTTRN", "ZTTRN"}, {"A.LDT", "A"}, {".LDT", ".LDT"}, {"ZTTRN.X", "ZTTRN.X"}};
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        lum::TLumTable table;
        table.SetTableName(name);
        EXPECT_EQ(table.PSGetTableName(), expected);
    }
    lum::TLumTable table;
    table.SetTableName("ZTTRN.LDT");
    table.PSSetCommandText("");
    EXPECT_EQ(table.TableName(), "ZTTRN.LDT");
    table.PSSetCommandText("ZTPAX.LDT");
    EXPECT_EQ(table.TableName(), "ZTPAX.LDT");
}

TEST_F(PracticeTable, ProviderOrderKeysAndARangeFromParameters) {
    AddTransactions({"B", "D", "A", "C", "A"});
    c.table->SetActive(true);
    EXPECT_EQ(c.table->PSGetKeyFields(), "CHART NUMBER;CASE NUMBER;ENTRY NUMBER;TOOTH NUMBER");
    EXPECT_EQ(IndexNames(c.table->PSGetIndexDefs(static_cast<std::uint8_t>(fw::TIndexOption::ixUnique))),
              (std::vector<std::string>{"PRIMARY", "IDXCHARTCASESERVDT"}));
    struct OrderCase {
        const char* what;
        std::function<void()> choose;
        const char* order;
    };
    const OrderCase orders[] = {
        {"by IndexFieldNames", [&] { c.table->SetIndexFieldNames("ENTRY NUMBER"); }, "IDXENTRYNUMBER"},
        {"by IndexName", [&] { c.table->SetIndexName("IDXCHARTDATE"); }, "IDXCHARTDATE"},
        {"natural order: the first unique index", [&] { c.table->SetIndexName(""); }, "PRIMARY"},
    };
    for (const OrderCase& x : orders) {
        SCOPED_TRACE(x.what);
        x.choose();
        const std::optional<fw::TIndexDef> order = c.table->PSGetDefaultOrder();
        ASSERT_TRUE(order.has_value());
        EXPECT_EQ(order->Name, x.order);
    }
    c.table->SetIndexFieldNames("CHART NUMBER");
    struct RangeCase {
        const char* what;
        std::vector<std::pair<std::string, std::string>> params;
        std::vector<std::int32_t> entries;
    };
    const RangeCase ranges[] = {
        {"by name", {{"Chart Number", "A"}}, {3, 5}},
        {"by position", {{"", "D"}}, {2}},
        {"no parameters: the range goes", {}, {3, 5, 1, 4, 2}},
    };
    for (const RangeCase& x : ranges) {
        SCOPED_TRACE(x.what);
        lum::TParams params;
        for (const auto& [name, value] : x.params) params.Add(name).SetAsString(value);
        c.table->PSSetParams(params);
        EXPECT_EQ(Entries(), x.entries);
    }
}

// A range by position takes the segments of the index active when it is
// applied: switching between two indexes and back keeps each one's own.
TEST_F(PracticeTable, ARangeByPositionFollowsTheActiveIndex) {
    AddTransactions({"B", "D", "A", "C", "A"});
    c.table->SetActive(true);
    struct RangeCase {
        const char* index;
        const char* value;
        std::vector<std::int32_t> entries;
    };
    const RangeCase ranges[] = {
        {"ENTRY NUMBER", "3", {3}},
        {"CHART NUMBER", "A", {3, 5}},
        {"ENTRY NUMBER", "4", {4}},
        {"CHART NUMBER", "D", {2}},
    };
    for (const RangeCase& x : ranges) {
        SCOPED_TRACE(std::string(x.index) + " " + x.value);
        c.table->PSSetParams(lum::TParams());
        c.table->SetIndexFieldNames(x.index);
        lum::TParams params;
        params.Add("").SetAsString(x.value);
        c.table->PSSetParams(params);
        EXPECT_EQ(Entries(), x.entries);
    }
}

TEST_F(PracticeTable, DetailLinkFieldsPairTheMasterFieldsWithTheIndex) {
    lum::TLumTable& table = *c.table;
    table.SetMasterSource(c.dsQryChg);
    table.SetMasterFields("Entry Number");
    c.query->SetActive(true);
    table.SetActive(true);
    const auto pairs = table.GetDetailLinkFields();
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].first, &c.query->FieldNamed("Entry Number"));
    EXPECT_EQ(pairs[0].second, &table.FieldNamed("Entry Number"));
    table.SetMasterSource(nullptr);
    EXPECT_TRUE(table.GetDetailLinkFields().empty());
}

}  // namespace
}  // namespace lumtest
