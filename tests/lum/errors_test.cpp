// Reading codes out of engine texts, the engine-result check and LumError,
// and the texts of the layer's own refusals.
#include <functional>

#include "data/lum/errors.h"
#include "data/lum/query.h"
#include "tests/lum/binding_fixture.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

TEST(LumErrors, NativeErrorCodeNeedsTheSqlErrorAndAWholeNumber) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"Error 7200: AQE Error: State = 42S02; NativeError = 2121; [Lumen] no such table", 2121},
        {"error 7200: nativeerror = -5;", -5},
        {"NativeError = 2121; without the SQL error", 0},
        {"Error 7200: NativeError = 21x; text", 0},
        {"Error 7200: NativeError = 42", 42},  // without ";" the rest serves
        {"Error 7200: no marker", 0},
    };
    for (const auto& [text, code] : cases) EXPECT_EQ(lum::NativeErrorCodeOf(text), code) << text;
}

TEST(LumErrors, ColumnInErrorIsTheQuotedName) {
    EXPECT_EQ(lum::ColumnNamedIn("Value too long for column \"Chart Number\" of table X"), "Chart Number");
    EXPECT_EQ(lum::ColumnNamedIn("for column \"open"), "open");
    EXPECT_EQ(lum::ColumnNamedIn("for Column \"Upper\""), "");
    EXPECT_EQ(lum::ColumnNamedIn(std::string("column \"") + std::string(1000, 'x')).size(), 900u);
}

// An engine whose latest failure is a fixed text, for the check's own paths.
UNSIGNED32 FakeLastError(UNSIGNED32* code, char* buffer, UNSIGNED16* length) {
    *code = 5148;
    const std::string text = "Error 7200: NativeError = 7; bad value for column \"Amount\"";
    std::snprintf(buffer, *length, "%s", text.c_str());
    *length = static_cast<UNSIGNED16>(text.size());
    return 0;
}
UNSIGNED32 FailingLastError(UNSIGNED32*, char*, UNSIGNED16*) { return 5004; }
int shown = 0;
UNSIGNED32 CountShowError(const char*) {
    ++shown;
    return 0;
}

TEST(LumErrors, CheckRaisesWithTheEngineCodeAndTheDataSetPrefix) {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumGetLastError = &FakeLastError;
    EXPECT_NO_THROW(lum::CheckLCEResult(engine, nullptr, 0));
    fw::TComponent owner;
    owner.SetName("frmMain");
    auto& query = owner.CreateOwned<lum::TLumQuery>();
    query.SetName("qryPay");
    try {
        lum::CheckLCEResult(engine, &query, 1234);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.EngineErrorCode, 5148u);  // the engine's code, not the one checked
        EXPECT_EQ(e.NativeErrorCode, 7);
        EXPECT_EQ(e.ColumnInError, "Amount");
        EXPECT_EQ(e.DataSetOwnerName, "frmMain");
        EXPECT_EQ(e.Message(), "qryPay: Error 7200: NativeError = 7; bad value for column \"Amount\"");
    }
    EXPECT_FALSE(lum::BuildingDatabaseError());
    try {
        lum::CheckLCEResult(engine, nullptr, 1);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Error 7200: NativeError = 7; bad value for column \"Amount\"");
        EXPECT_TRUE(e.ColumnInError.empty());  // no dataset, nothing gathered but the codes
    }
    // While an error is being built the check stays silent.
    lum::BuildingDatabaseError() = true;
    EXPECT_NO_THROW(lum::CheckLCEResult(engine, nullptr, 1));
    lum::BuildingDatabaseError() = false;
}

TEST(LumErrors, LumErrorFallsBackToTheEngineReport) {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumGetLastError = &FakeLastError;
    EXPECT_EQ(lum::LumError(engine, 5024).Message(), "Error 7200: NativeError = 7; bad value for column \"Amount\"");
    engine.LumGetLastError = &FailingLastError;
    engine.LumShowError = &CountShowError;
    shown = 0;
    EXPECT_EQ(lum::LumError(engine, 5024).Message(), "");
    EXPECT_EQ(shown, 1);
}

// A table whose name cannot be read, so describing it for an error fails.
class UnnamedTable : public lum::TLumTable {
public:
    using lum::TLumTable::TLumTable;
    std::string TableName() const override { throw fw::EDatabaseError("table name unreadable"); }
};

TEST(LumErrors, AFailureWhileDescribingTheDataSetLeavesTheOneReported) {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumGetLastError = &FakeLastError;
    UnnamedTable table;
    table.SetName("tblpay");
    table.SetDatabaseName("/data/pay");
    try {
        lum::CheckLCEResult(engine, &table, 1);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), "tblpay: Error 7200: NativeError = 7; bad value for column \"Amount\"");
        EXPECT_EQ(e.EngineErrorCode, 5148u);
        EXPECT_EQ(e.DataSetPath, "/data/pay");  // gathered before the failure
        EXPECT_TRUE(e.DataSetTableName.empty());
        EXPECT_TRUE(e.ColumnInError.empty());  // not reached
        EXPECT_EQ(e.NativeErrorCode, 0);
    }
    EXPECT_FALSE(lum::BuildingDatabaseError());
}

// The layer's own refusal: the dataset's name, ": ", the text, and code 5121.
void ExpectRefusal(const std::function<void()>& act, const std::string& message) {
    try {
        act();
        ADD_FAILURE() << "no exception, expected " << message;
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), message);
        EXPECT_EQ(e.EngineErrorCode, lum::LayerErrorCode);
    }
}

TEST(LayerMessages, ATableTypeAnAliasNamesCannotBeChanged) {
    TempDir ini;
    const EnvironmentGuard env;
    WriteLumIni(ini, "[Databases]\nPay=/data/pay;c\nPlain=/data/plain\nTyped=/data/typed;N\nLoose=/data/loose;x\n");
    const std::string refusal =
        "tblAlias: The table type must remain identical to the table type associated with the alias.";
    using T = lum::TLumTableTypes;
    struct Case {
        const char* databaseName;
        const char* connectionAlias;  // "" for no connection
        T value;
        bool accepted;
    };
    const Case cases[] = {
        {"Pay", "", T::ttLumCDX, true},      {"pay", "", T::ttLumLDT, false},
        {"Pay", "", T::ttLumDefault, false}, {"Plain", "", T::ttLumLDT, true},  // an alias without a letter means LDT
        {"Plain", "", T::ttLumVFP, false},   {"/data/pay", "", T::ttLumVFP, true},  // a folder is no alias
        {"Nothing", "", T::ttLumNTX, true},  {"", "Typed", T::ttLumNTX, true},
        {"", "Typed", T::ttLumCDX, false},   {"", "Typed", T::ttLumDefault, false},
        {"", "Loose", T::ttLumVFP, true},  // the connection's alias names no type
        {"", "Plain", T::ttLumCDX, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.databaseName) + "/" + c.connectionAlias + " " +
                     std::to_string(static_cast<int>(c.value)));
        lum::TLumConnection connection;
        lum::TLumTable table;
        table.SetName("tblAlias");
        if (*c.connectionAlias != '\0') {
            connection.SetAliasName(c.connectionAlias);
            table.SetLumConnection(&connection);
        }
        table.SetDatabaseName(c.databaseName);
        const T before = table.TableType();
        if (c.accepted) {
            table.SetTableType(c.value);
            EXPECT_EQ(table.TableType(), c.value);
        } else {
            ExpectRefusal([&] { table.SetTableType(c.value); }, refusal);
            EXPECT_EQ(table.TableType(), before);
        }
    }
    // A query's source table type follows the same rule.
    lum::TLumQuery query;
    query.SetName("qryAlias");
    query.SetDatabaseName("Pay");
    ExpectRefusal([&] { query.SetSourceTableType(T::ttLumLDT); },
                  "qryAlias: The table type must remain identical to the table type associated with the alias.");
    EXPECT_EQ(query.SourceTableType(), T::ttLumCDX);
}

TEST(LayerMessages, ATableSaysWhatItLacksAndWhatItRefusesWhileOpen) {
    TempDir dir;
    BuildPractice(dir, {{1, "I", 10.0}}, {});
    lum::TLumTable table;
    table.SetName("tblpay");
    const std::string open = "tblpay: Cannot perform this operation on an open dataset";
    struct Case {
        const char* what;
        std::function<void()> act;
        std::string message;
    };
    const Case cases[] = {
        {"no table name", [&] { table.SetActive(true); }, "tblpay: Missing TableName property"},
        {"no folder",
         [&] {
             table.SetTableName("ZTTRN.LDT");
             table.SetActive(true);
         },
         "tblpay: One of the DatabaseName property or the LumConnection property must have a value."},
        {"table name while open",
         [&] {
             table.SetDatabaseName(dir.path());
             table.SetActive(true);
             table.SetTableName("ZTPAX.LDT");
         },
         open},
        {"table type while open", [&] { table.SetTableType(lum::TLumTableTypes::ttLumVFP); }, open},
        {"collation mismatch while open",
         [&] { table.SetIndexCollationMismatch(lum::TIndexCollationMismatchOptions::icmIgnore); }, open},
        {"folder while open", [&] { table.SetDatabaseName("/elsewhere"); }, open},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectRefusal(c.act, c.message);
    }
    EXPECT_EQ(table.TableName(), "ZTTRN.LDT");
    EXPECT_EQ(table.TableType(), lum::TLumTableTypes::ttLumLDT);
    EXPECT_EQ(table.DatabaseName(), dir.path());
}

UNSIGNED32 NoCursor(LUMHANDLE, LUMHANDLE* cursor) {
    *cursor = 0;
    return 0;
}

TEST(LayerMessages, AQueryWithoutRowsIsToldToUseExecSQL) {
    TempDir dir;
    BuildPractice(dir, {{1, "I", 10.0}}, {});
    Components c;
    c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
    LumFunctions engine = lum::DefaultEngine();
    engine.LumExecuteSQL = &NoCursor;
    c.query->SetEngine(engine);
    ExpectRefusal([&] { c.query->SetActive(true); },
                  "qryPay: The SQL statement did not generate a cursor handle.  Use TLumQuery.ExecSQL to execute SQL "
                  "statements that are not SELECT statements");
    EXPECT_FALSE(c.query->Active());
    c.query->SetEngine(lum::DefaultEngine());
}

}  // namespace
}  // namespace lumtest
