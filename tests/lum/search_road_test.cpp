// The road of a search: connecting, the payment query, the transaction table
// in entry-number order and the table following the query row by row.
#include <algorithm>

#include "data/lum/errors.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

using fw::VarType;

class SearchRoad : public ::testing::Test {
protected:
    void Build(const std::string& defaultIndex = "") {
        // Entries are appended out of entry order so that index order shows.
        BuildPractice(dir,
                      {
                          {5, "A", 100.0, "CHG00001", 1, 2455636, "99213"},                // charge
                          {2, "I", -50.0, "PAT00002", -3, 2451545, "PAY01"},               // payment, applied 50
                          {3, "K", 100.0, "BBB00003", std::nullopt, std::nullopt, "ADJ"},  // over-applied 112.5
                          {4, "S", 20.0, "ZZZ00004", 4, 2451546, "NOAPP"},                 // no application
                          {6, "T", std::nullopt, "NUL00006", 6, 2451547, "NULL"},          // null amount
                          {1, " ", 5.0, "BLK00001", 1, 2451548, "BLANK"},                  // not a payment type
                      },
                      {{2, 5, 50}, {3, 5, 60}, {3, 5, 52.5}, {3, 99, 10}, {6, 5, 7}, {1, 5, 5}}, defaultIndex);
        c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
    }
    // Rows of the query as (entry, amount, total) variants, in engine order.
    std::vector<std::tuple<fw::Variant, fw::Variant, fw::Variant>> QueryRows() {
        std::vector<std::tuple<fw::Variant, fw::Variant, fw::Variant>> rows;
        for (c.query->MoveToFirst(); !c.query->AtEnd(); c.query->MoveToNext()) {
            rows.emplace_back(c.query->FieldNamed("Entry Number").ValueAsVariant(),
                              c.query->FieldNamed("Amount").ValueAsVariant(),
                              c.query->FieldNamed("PayTotal").ValueAsVariant());
        }
        return rows;
    }
    TempDir dir;
    Components c;
};

TEST_F(SearchRoad, ComponentsReadFromTheStoredDescriptionAreBound) {
    ASSERT_NE(c.connection, nullptr);
    ASSERT_NE(c.query, nullptr);
    ASSERT_NE(c.table, nullptr);
    EXPECT_EQ(c.query->LumConnection(), c.connection);
    EXPECT_EQ(c.table->LumConnection(), c.connection);
    EXPECT_EQ(c.table->MasterSource(), c.dsQryChg);
    EXPECT_EQ(c.connection->AttachedDataSetCount(), 2u);
    EXPECT_EQ(&c.connection->AttachedDataSet(0), c.query);  // bound by DatabaseName while reading
    EXPECT_EQ(c.query->LumTableOptions().CountMode(), 3);
    EXPECT_EQ(c.query->StatementText().substr(0, 9), "Select \r\n");
    EXPECT_FALSE(c.connection->IsConnected());
}

TEST_F(SearchRoad, OpeningTheQueryConnectsAndYieldsTheAppliedTotals) {
    Build();
    c.query->SetActive(true);
    EXPECT_TRUE(c.connection->IsConnected());
    EXPECT_NE(c.connection->ConnectionHandle(), 0u);
    EXPECT_EQ(c.query->CountRecords(), 3);  // payments 2, 3 and 6; entry 1 is no payment type
    auto rows = QueryRows();
    EXPECT_TRUE(c.query->AtEnd());
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return std::get<0>(a).AsInteger() < std::get<0>(b).AsInteger(); });
    ASSERT_EQ(rows.size(), 3u);
    const auto& [e2, a2, t2] = rows[0];
    EXPECT_EQ(e2.Type(), VarType::Integer);
    EXPECT_EQ(e2.AsInteger(), 2);
    EXPECT_EQ(a2.Type(), VarType::Double);
    EXPECT_EQ(a2.AsDouble(), -50.0);
    EXPECT_EQ(t2.Type(), VarType::Double);
    EXPECT_EQ(t2.AsDouble(), 50.0);
    EXPECT_EQ(std::get<2>(rows[1]).AsDouble(), 112.5);  // the dangling application does not count
    EXPECT_TRUE(std::get<1>(rows[2]).IsNull());
    EXPECT_EQ(std::get<2>(rows[2]).AsDouble(), 7.0);
}

TEST_F(SearchRoad, AnEmptyResultIsAtEndAtOnce) {
    BuildPractice(dir, {{1, "A", 10.0}}, {});
    c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
    c.query->SetActive(true);
    EXPECT_TRUE(c.query->AtEnd());
    EXPECT_EQ(c.query->CountRecords(), 0);
    c.query->MoveToFirst();
    EXPECT_TRUE(c.query->AtEnd());
    EXPECT_TRUE(c.query->FieldNamed("amount").ValueAsVariant().IsNull());
    EXPECT_EQ(c.query->FieldNamed("Entry Number").ValueAsText(), "");
    c.table->SetActive(true);
    // Without a master row the range holds the empty key, which no record has.
    EXPECT_TRUE(c.table->AtEnd());
}

TEST_F(SearchRoad, FieldNamedIgnoresCaseAndNamesTheDataSetWhenMissing) {
    Build();
    c.query->SetActive(true);
    EXPECT_EQ(&c.query->FieldNamed("paytotal"), &c.query->FieldNamed("PayTotal"));
    try {
        c.query->FieldNamed("Chart Number");
        FAIL() << "no exception";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "qryPay: Field 'Chart Number' not found");
    }
    lum::TLumQuery unnamed;
    try {
        unnamed.FieldNamed("x");
        FAIL() << "no exception";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'x' not found");
    }
    try {
        unnamed.CountRecords();
        FAIL() << "no exception";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Cannot perform this operation on a closed dataset");
    }
}

TEST_F(SearchRoad, LoginFailuresShowTheEngineTextAlone) {
    Build();
    struct Case {
        std::string path;
        std::string password;
        std::uint32_t code;
    };
    const Case cases[] = {{dir.path() + "\\ZTDDF.LDD", "wrong", 7078}, {dir.path() + "\\NOSUCH.LDD", "brindlex", 7008}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.path);
        c.connection->SetConnectPath(k.path);
        c.connection->SetPassword(k.password);
        try {
            c.query->SetActive(true);
            FAIL() << "no exception";
        } catch (const lum::ELUMDatabaseError& e) {
            EXPECT_EQ(e.EngineErrorCode, k.code);
            EXPECT_TRUE(e.DataSetName.empty());
            EXPECT_NE(e.Message().rfind("qryPay: ", 0), 0u) << e.Message();
            EXPECT_FALSE(e.Message().empty());
        }
        EXPECT_FALSE(c.connection->IsConnected());
        EXPECT_FALSE(c.query->Active());
    }
    c.connection->SetConnectPath("");
    try {
        c.connection->SetIsConnected(true);
        FAIL() << "no exception";
    } catch (const lum::LumConnectionError& e) {
        EXPECT_EQ(e.Message(), "Must specify connection string before getting a server connection.");
    }
}

TEST_F(SearchRoad, DisconnectClosesBothDataSetsAndTwiceDoesNothing) {
    Build();
    int disconnects = 0;
    c.connection->AfterDisconnect = [&](lum::TLumConnection&) { ++disconnects; };
    c.query->SetActive(true);
    c.table->SetActive(true);
    try {
        c.connection->SetConnectPath(dir.path() + "\\OTHER.LDD");
        FAIL() << "no exception";
    } catch (const lum::LumConnectionError& e) {
        EXPECT_EQ(e.Message(), "The TLumConnection.ConnectPath may not be changed when IsConnected is TRUE");
    }
    c.connection->SetIsConnected(false);
    EXPECT_FALSE(c.query->Active());
    EXPECT_FALSE(c.table->Active());
    EXPECT_FALSE(c.connection->IsConnected());
    EXPECT_EQ(c.connection->ConnectionHandle(), 0u);
    EXPECT_EQ(c.query->StatementHandle(), lum::NoHandle);
    c.connection->SetIsConnected(false);
    EXPECT_EQ(disconnects, 1);
    // A new search reconnects and makes a new statement.
    c.query->SetActive(true);
    c.table->SetActive(true);
    EXPECT_TRUE(c.connection->IsConnected());
    EXPECT_NE(c.query->StatementHandle(), lum::NoHandle);
    EXPECT_EQ(c.query->CountRecords(), 3);
}

TEST_F(SearchRoad, ConnectionFolderOfADictionaryPath) {
    const std::pair<std::string, std::string> cases[] = {{"C:\\Data\\ZTDDF.LDD", "C:\\Data"},
                                                         {"/srv/data/ztddf.ldd", "/srv/data"},
                                                         {"/tmp/practice\\ZTDDF.LDD", "/tmp/practice"},
                                                         {"C:/x\\y/ZTDDF.LDD", "C:/x\\y"},
                                                         {"ZTDDF.LDD", ".\\"},
                                                         {"C:\\Data", "C:\\Data"},
                                                         {"LDD", "LDD"}};
    for (const auto& [path, folder] : cases) {
        c.connection->SetConnectPath(path);
        EXPECT_EQ(c.connection->DataSetFolder(), folder) << path;
    }
    c.connection->SetConnectPath("x.ldd");
    EXPECT_TRUE(c.connection->IsDictionaryConnection());
    c.connection->SetConnectPath("LDD");
    EXPECT_FALSE(c.connection->IsDictionaryConnection());
}

// Entry numbers of the table in its current order.
std::vector<std::int32_t> TableEntries(lum::TLumTable& table) {
    std::vector<std::int32_t> entries;
    for (table.MoveToFirst(); !table.AtEnd(); table.MoveToNext())
        entries.push_back(table.FieldNamed("Entry Number").ValueAsInteger());
    return entries;
}

TEST_F(SearchRoad, TableOpensInEntryNumberOrderOrTheDictionaryDefault) {
    Build();
    c.table->SetMasterSource(nullptr);  // the whole table
    c.table->SetActive(true);
    EXPECT_EQ(TableEntries(*c.table), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(c.table->CountRecords(), 6);
    EXPECT_EQ(c.table->LumTableOptions().LumIndexPageSize(), 512);  // the engine's page size of the first index
    c.connection->SetIsConnected(false);

    // A dictionary default index takes precedence over IndexFieldNames.
    TempDir other;
    lumtest::BuildPractice(other, {{2, "I", 1.0, "BBB"}, {1, "I", 1.0, "CCC"}, {3, "I", 1.0, "AAA"}}, {},
                           "IDXCHARTNUMBER");
    c.connection->SetConnectPath(other.path() + "\\ZTDDF.LDD");
    c.connection->SetIsConnected(true);
    EXPECT_EQ(c.table->IndexName(), "LUM_DEFAULT");
    EXPECT_EQ(c.table->IndexFieldNames(), "ENTRY NUMBER");
    c.table->SetActive(true);
    EXPECT_EQ(TableEntries(*c.table), (std::vector<std::int32_t>{3, 2, 1}));
    c.connection->SetIsConnected(false);

    // Back on a dictionary without a default, the entry-number order returns.
    c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
    c.connection->SetIsConnected(true);
    EXPECT_EQ(c.table->IndexName(), "");
    EXPECT_EQ(c.table->IndexFieldNames(), "ENTRY NUMBER");
    c.table->SetActive(true);
    EXPECT_EQ(TableEntries(*c.table), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
}

TEST_F(SearchRoad, IndexFieldNamesChooseByFieldsNotByName) {
    Build();
    c.table->SetMasterSource(nullptr);
    c.table->SetActive(true);
    const fw::TIndexDefs& d = c.table->IndexDefs();
    ASSERT_EQ(d.Count(), 4u);
    EXPECT_EQ(d[0].Name, "IDXENTRY NUMBER");
    EXPECT_EQ(d[0].Fields, "CC ENTRY NUMBER");
    EXPECT_EQ(d[3].Fields, "CHART NUMBER;CASE NUMBER;ENTRY NUMBER");
    EXPECT_EQ(d.FindIndexForFields("entry number"), &d[2]);              // never the index on CC ENTRY NUMBER
    EXPECT_EQ(d.FindIndexForFields("CHART NUMBER;CASE NUMBER"), &d[3]);  // prefix pass
    EXPECT_EQ(d.FindIndexForFields("CHART NUMBER; CASE NUMBER"), nullptr);
    c.table->SetIndexFieldNames("  chart number  ");
    EXPECT_EQ(c.table->IndexFieldNames(), "chart number");
    EXPECT_EQ(TableEntries(*c.table), (std::vector<std::int32_t>{3, 1, 5, 6, 2, 4}));  // by chart number
    try {
        c.table->SetIndexFieldNames("NO SUCH");
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), "tblpay: Not a valid index field name:NO SUCH");
        EXPECT_EQ(e.EngineErrorCode, 5121u);
    }
    EXPECT_EQ(c.table->IndexFieldNames(), "chart number");  // the previous order stays
    EXPECT_EQ(TableEntries(*c.table).front(), 3);
}

TEST_F(SearchRoad, TheTableFollowsTheQueryRow) {
    Build();
    c.query->SetActive(true);
    c.table->SetActive(true);
    int rows = 0;
    for (c.query->MoveToFirst(); !c.query->AtEnd(); c.query->MoveToNext()) {
        ++rows;
        const std::int32_t entry = c.query->FieldNamed("Entry Number").ValueAsInteger();
        SCOPED_TRACE(entry);
        ASSERT_FALSE(c.table->AtEnd());
        EXPECT_EQ(c.table->FieldNamed("Entry Number").ValueAsInteger(), entry);
        EXPECT_EQ(c.table->CountRecords(), 6);  // the table counts ignoring scopes
        const std::int32_t before = entry;
        c.table->MoveToNext();
        EXPECT_TRUE(c.table->AtEnd()) << "only one record in the range";
        EXPECT_EQ(c.table->FieldNamed("Entry Number").ValueAsInteger(), before);
    }
    EXPECT_EQ(rows, 3);
    // Past the last row the table keeps the last row's record.
    c.query->MoveToNext();
    EXPECT_TRUE(c.query->AtEnd());
}

TEST_F(SearchRoad, AMissingEntryReadsEmptyAndNull) {
    // The master's entry number goes into the first segment of the active
    // index; on the CC ENTRY NUMBER index (null everywhere) nothing matches.
    BuildPractice(dir, {{1, "A", 10.0}, {2, "I", 5.0}}, {{2, 1, 5.0}});
    c.connection->SetConnectPath(dir.path() + "\\ZTDDF.LDD");
    c.query->SetActive(true);
    c.table->SetIndexFieldNames("CC ENTRY NUMBER");  // CC Entry Number is null everywhere: no record matches
    c.table->SetActive(true);
    ASSERT_FALSE(c.query->AtEnd());
    EXPECT_TRUE(c.table->AtEnd());
    EXPECT_EQ(c.table->FieldNamed("Chart Number").ValueAsText(), "");
    EXPECT_EQ(c.table->FieldNamed("Case Number").ValueAsInteger(), 0);
    EXPECT_EQ(c.table->FieldNamed("Date From").ValueAsDateTime(), 0.0);
    EXPECT_EQ(c.table->FieldNamed("Procedure Code").ValueAsText(), "");
    EXPECT_TRUE(c.table->FieldNamed("Amount").ValueAsVariant().IsNull());
}

TEST_F(SearchRoad, EngineFailuresNameTheDataSetAndTheNativeError) {
    Build();
    c.query->SetSQL({"Select [Nope] From NOSUCH"});
    try {
        c.query->SetActive(true);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message().rfind("qryPay: ", 0), 0u) << e.Message();
        EXPECT_EQ(e.EngineErrorCode, 7200u);
        EXPECT_EQ(e.DataSetName, "qryPay");
        EXPECT_EQ(e.DataSetOwnerName, "frmMain");
        EXPECT_EQ(e.DataSetDatabaseName, "LumConnection1");
        EXPECT_EQ(e.DataSetPath, dir.path());
        const auto marker = e.Message().find("NativeError = ");
        ASSERT_NE(marker, std::string::npos);
        EXPECT_EQ(std::to_string(e.NativeErrorCode),
                  e.Message().substr(marker + 14, e.Message().find(';', marker) - marker - 14));
    }
    EXPECT_FALSE(c.query->Active());
    c.table->SetTableName("NOSUCH.LDT");
    try {
        c.table->SetActive(true);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message().rfind("tblpay: ", 0), 0u) << e.Message();
        EXPECT_EQ(e.DataSetTableName, "NOSUCH.LDT");
        EXPECT_NE(e.Message().find("NOSUCH"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(c.table->Active());
}

// An execution failure that leaves the statement unusable (the lost
// statement's code, as the engine's code or as an SQL error's native code)
// frees it; any other keeps it, whatever else its text holds.
UNSIGNED32 failingCode = 0;
const char* failingText = "";
UNSIGNED32 FailingExecute(LUMHANDLE, LUMHANDLE*) {
    lum::DefaultEngine().LumSetLastError(failingCode, failingText);
    return failingCode;
}

TEST_F(SearchRoad, OnlyALostStatementIsFreedWhenExecutionFails) {
    Build();
    LumFunctions engine = lum::DefaultEngine();
    engine.LumExecuteSQL = &FailingExecute;
    c.query->SetEngine(engine);
    struct Case {
        UNSIGNED32 code;
        const char* text;
        bool freed;
    };
    const Case cases[] = {
        {LUM_ERR_STATEMENT_LOST, "statement lost", true},
        {LUM_ERR_SQL, "Error 7200: NativeError = 7209; statement failed", true},
        {LUM_ERR_SQL, "Error 7200: NativeError = 2117; table T7209 nested too deeply", false},
        {LUM_ERR_DAMAGED, "Record 7209 of table ZTTRN is damaged", false},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.text);
        failingCode = x.code;
        failingText = x.text;
        try {
            c.query->SetActive(true);
            FAIL() << "no exception";
        } catch (const lum::ELUMDatabaseError& e) {
            EXPECT_EQ(e.EngineErrorCode, x.code);
        }
        EXPECT_FALSE(c.query->Active());
        EXPECT_EQ(c.query->StatementHandle() == lum::NoHandle, x.freed);
        c.query->FreeStatement();
    }
    c.query->SetEngine(lum::DefaultEngine());  // the wrapped table ends with this test
}

}  // namespace
}  // namespace lumtest
