// The dataset's extras: refreshing the current record after another handle
// wrote it, renaming a table of a dictionary (and the refusal on a free
// table), provider statements through the connection and the operations the
// layer refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "data/lum/errors.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

using lce::Value;

// N.LDT with names a, b, c; with `dictionary` also D.LDD listing it as NAMES.
void BuildNames(const TempDir& dir, bool dictionary) {
    lce::TableSchema schema;
    schema.tableType = LUM_LDT;
    lce::ColumnDef name;
    name.name = "Name";
    name.type = LUM_STRING;
    name.length = 8;
    schema.columns = {name};
    {
        auto file = lce::TableFile::create(dir.path("N.LDT"), schema);
        for (const char* n : {"a", "b", "c"}) file.append({Value::ofText(n)});
    }
    if (!dictionary) return;
    auto dd = lce::Dictionary::create(dir.path("D.LDD"));
    dd.addUser("user", "secret");
    dd.addTable({"NAMES", "N.LDT", lce::kLdt, {}});
}

struct NamesTable {
    NamesTable(const TempDir& dir, bool dictionary, const std::string& tableName) {
        connection.SetName("conn");
        connection.SetConnectPath(dictionary ? dir.path("D.LDD") : dir.path());
        connection.SetUsername("user");
        connection.SetPassword("secret");
        connection.SetLoginPrompt(false);
        table.SetName("tblNames");
        table.SetLumConnection(&connection);
        table.SetTableName(tableName);
    }
    lum::TLumConnection connection;
    lum::TLumTable table;
};

// Another handle changes the first record's name and writes it.
void RenameFirstElsewhere(const TempDir& dir, const char* value) {
    LUMHANDLE conn = 0, table = 0;
    ASSERT_EQ(LumConnect60(dir.path().c_str(), 1, nullptr, nullptr, 0, &conn), 0u);
    ASSERT_EQ(LumOpenTable90(conn, "N.LDT", nullptr, LUM_LDT, 1, 1, 1, 0, "", &table), 0u);
    ASSERT_EQ(LumGotoTop(table), 0u);
    ASSERT_EQ(LumSetField(table, "Name", reinterpret_cast<const UNSIGNED8*>(value), std::strlen(value)), 0u);
    ASSERT_EQ(LumWriteRecord(table), 0u);
    LumCloseTable(table);
    LumDisconnect(conn);
}

TEST(Refresh, TheCurrentRecordShowsAnotherHandlesWrite) {
    TempDir dir;
    BuildNames(dir, false);
    NamesTable t(dir, false, "N.LDT");
    t.table.SetActive(true);
    t.table.MoveToFirst();
    ASSERT_EQ(t.table.FieldNamed("Name").ValueAsText(), "a");
    RenameFirstElsewhere(dir, "z");
    EXPECT_EQ(t.table.FieldNamed("Name").ValueAsText(), "a") << "the buffer keeps what was read";
    t.table.RefreshRecord();
    EXPECT_EQ(t.table.FieldNamed("Name").ValueAsText(), "z");
    t.table.MoveToNext();
    EXPECT_EQ(t.table.FieldNamed("Name").ValueAsText(), "b") << "the dataset stayed on its record";
    // Past the last record there is nothing to read again, and no failure.
    t.table.MoveToNext();
    t.table.MoveToNext();
    EXPECT_TRUE(t.table.AtEnd());
    t.table.RefreshRecord();
    EXPECT_EQ(t.table.FieldNamed("Name").ValueAsText(), "c");
}

TEST(RenameTable, ADictionaryTableGetsItsNewFileAndEntry) {
    TempDir dir;
    BuildNames(dir, true);
    NamesTable t(dir, true, "NAMES");
    t.table.SetActive(true);
    try {
        t.table.RenameTable("PEOPLE");
        ADD_FAILURE() << "renamed while open";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "tblNames: Cannot perform this operation on an open dataset");
    }
    // Another dataset of the connection holds the table: the engine refuses.
    lum::TLumTable other;
    other.SetLumConnection(&t.connection);
    other.SetTableName("NAMES");
    other.SetActive(true);
    t.table.SetActive(false);
    try {
        t.table.RenameTable("PEOPLE");
        ADD_FAILURE() << "renamed while another dataset has it open";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_LOCKED));
    }
    other.SetActive(false);
    EXPECT_TRUE(std::filesystem::exists(dir.path("N.LDT")));

    t.table.RenameTable("PEOPLE");
    EXPECT_EQ(t.table.TableName(), "PEOPLE");
    EXPECT_FALSE(std::filesystem::exists(dir.path("N.LDT")));
    EXPECT_TRUE(std::filesystem::exists(dir.path("PEOPLE.LDT")));
    t.table.SetActive(true);
    std::vector<std::string> names;
    for (t.table.MoveToFirst(); !t.table.AtEnd(); t.table.MoveToNext())
        names.push_back(t.table.FieldNamed("Name").ValueAsText());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
    t.table.SetActive(false);
    // The old name is gone from the dictionary.
    t.table.SetTableName("NAMES");
    EXPECT_THROW(t.table.SetActive(true), lum::ELUMDatabaseError);
}

TEST(RenameTable, AFreeTableIsRefused) {
    TempDir dir;
    BuildNames(dir, false);
    NamesTable t(dir, false, "N.LDT");
    try {
        t.table.RenameTable("PEOPLE.LDT");
        ADD_FAILURE() << "renamed a free table";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), "tblNames: The method RenameTable in TLumDataSet is not supported on free tables.");
        EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_LAYER_REFUSAL));
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path("N.LDT")));
}

TEST(ProviderSupport, StatementsGoThroughTheConnectionQuotedWithDoubleQuotes) {
    TempDir dir;
    BuildNames(dir, false);
    NamesTable t(dir, false, "N.LDT");
    EXPECT_TRUE(t.table.PSIsSQLBased());
    EXPECT_EQ(t.table.PSGetQuoteChar(), "\"");
    t.table.PSExecuteStatement("UPDATE \"N.LDT\" SET \"Name\" = 'q' WHERE \"Name\" = 'b'");
    t.table.SetActive(true);
    t.table.MoveToFirst();
    t.table.MoveToNext();
    EXPECT_EQ(t.table.FieldNamed("Name").ValueAsText(), "q");
}

// A provider statement's result cursor opens in a dataset handed it, which
// closes it when it closes; a cursor it cannot open is closed at once.
TEST(ProviderSupport, AResultCursorOpensInTheDatasetItIsHandedTo) {
    TempDir dir;
    BuildNames(dir, false);
    NamesTable t(dir, false, "N.LDT");
    const auto closed = [](LUMHANDLE handle) {
        UNSIGNED16 type = 0;
        return LumGetHandleType(handle, &type) != 0;
    };
    lum::TLumSQLCursor cursor;
    t.table.PSExecuteStatement(R"(SELECT "Name" FROM "N.LDT" WHERE "Name" <> 'b' ORDER BY "Name" DESC)", nullptr,
                               &cursor);
    ASSERT_TRUE(cursor);
    const LUMHANDLE handle = cursor.Handle();
    lum::TLumQuery result;
    result.SetName("qryResult");
    result.SetLumConnection(&t.connection);
    result.OpenOnCursor(std::move(cursor));
    std::vector<std::string> names;
    for (result.MoveToFirst(); !result.AtEnd(); result.MoveToNext())
        names.push_back(result.FieldNamed("Name").ValueAsText());
    EXPECT_EQ(names, (std::vector<std::string>{"c", "a"}));
    EXPECT_FALSE(closed(handle));
    result.SetActive(false);
    EXPECT_TRUE(closed(handle));

    // Handed to an open dataset, or unusable, the cursor is closed and the
    // dataset stays as it was.
    t.table.SetActive(true);
    lum::TLumSQLCursor another;
    t.table.PSExecuteStatement(R"(SELECT "Name" FROM "N.LDT")", nullptr, &another);
    const LUMHANDLE second = another.Handle();
    EXPECT_THROW(t.table.OpenOnCursor(std::move(another)), lum::ELUMDatabaseError);
    EXPECT_TRUE(closed(second));
    EXPECT_TRUE(t.table.Active());
    EXPECT_THROW(result.OpenOnCursor(lum::TLumSQLCursor(lum::DefaultEngine(), handle)), lum::ELUMDatabaseError);
    EXPECT_FALSE(result.Active());
    lum::TLumSQLCursor third;
    t.table.PSExecuteStatement(R"(SELECT "Name" FROM "N.LDT")", nullptr, &third);
    const LUMHANDLE refused = third.Handle();
    result.BeforeOpen = [](fw::TDataSet&) { throw fw::EDatabaseError("not now"); };
    EXPECT_THROW(result.OpenOnCursor(std::move(third)), fw::EDatabaseError);
    EXPECT_TRUE(closed(refused));
    EXPECT_FALSE(result.Active());
}

TEST(ProviderSupport, RefusalsSayWhatIsNotSupported) {
    lum::TLumTable table;
    table.SetName("tblNone");
    struct Case {
        const char* label;
        std::function<void()> act;
        std::string message;
    };
    const Case cases[] = {
        {"statement without a connection", [&] { table.PSExecuteStatement("SELECT 1 FROM x"); },
         "tblNone: A TLumConnection component is required for TClientDataSet/IProvider support. Use either the "
         "LumConnection  property or the Database property to specify a TLumConnection instance."},
        {"batch move", [&] { table.BatchMove(); }, "tblNone: The method BatchMove in TLumDataSet is not supported."},
        {"update status", [&] { table.UpdateStatus(); },
         "tblNone: The method UpdateStatus in TLumDataSet is not supported."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            c.act();
            ADD_FAILURE() << "no refusal";
        } catch (const lum::ELUMDatabaseError& e) {
            EXPECT_EQ(e.Message(), c.message);
            EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_LAYER_REFUSAL));
        }
    }
}

}  // namespace
}  // namespace lumtest
