// How datasets find their connection and folder: the shared per-folder
// connections of datasets without a connection component, lum.ini aliases on
// datasets and connections, the working folder, and what a connection's
// naming and renaming do to the datasets that name it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "data/lum/dynamic_connections.h"
#include "data/lum/errors.h"
#include "data/lum/streaming.h"
#include "framework/reader.h"
#include "tests/lum/binding_fixture.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

using lum::TLumTableTypes;

// A practice of three transactions and one application.
void BuildSmallPractice(const TempDir& dir) {
    BuildPractice(dir, {{1, "I", -50.0}, {2, "A", 50.0}, {3, "K", 10.0}}, {{1, 2, 50.0}});
}

std::int32_t CountRows(fw::TDataSet& dataSet) {
    std::int32_t rows = 0;
    for (dataSet.MoveToFirst(); !dataSet.AtEnd(); dataSet.MoveToNext()) ++rows;
    return rows;
}

// The engine's own text for a failed connect to `path`.
std::string EngineConnectFailure(const std::string& path) {
    const LumFunctions& engine = lum::DefaultEngine();
    LUMHANDLE handle = 0;
    EXPECT_NE(engine.LumConnect(path.c_str(), &handle), 0u);
    UNSIGNED32 code = 0;
    char text[601] = {};
    UNSIGNED16 length = 600;
    engine.LumGetLastError(&code, text, &length);
    return text;
}

class SharedConnections : public ::testing::Test {
protected:
    TempDir dir;
    fw::TComponent root;
    const EnvironmentGuard env;
};

TEST_F(SharedConnections, DataSetsGivenOnlyAFolderShareOneConnectionPerFolder) {
    BuildSmallPractice(dir);
    const std::size_t before = lum::TDynamicConnList::Instance().Count();
    auto& table = root.CreateOwned<lum::TLumTable>();
    table.SetName("tblpay");
    table.SetDatabaseName(dir.path());
    table.SetTableName("ZTTRN.LDT");
    table.SetActive(true);
    EXPECT_EQ(CountRows(table), 3);
    // The same folder, spelled with a trailing separator, and a query in it.
    auto& other = root.CreateOwned<lum::TLumTable>();
    other.SetDatabaseName(dir.path() + "/");
    other.SetTableName("ZTPAX.LDT");
    other.SetActive(true);
    EXPECT_EQ(CountRows(other), 1);
    auto& query = root.CreateOwned<lum::TLumQuery>();
    query.SetDatabaseName(dir.path());
    query.SetSQL({"SELECT * FROM ZTTRN"});
    query.SetActive(true);
    EXPECT_EQ(CountRows(query), 3);
    EXPECT_EQ(table.AcquireConnectionHandle(), other.AcquireConnectionHandle());
    EXPECT_EQ(lum::TDynamicConnList::Instance().Count(), before + 1);
    EXPECT_EQ(table.LumConnection(), nullptr);
}

TEST_F(SharedConnections, AFolderThatCannotBeConnectedRaisesTheEngineTextAlone) {
    const std::string missing = dir.path("missing");
    const std::string expected = EngineConnectFailure(missing);
    ASSERT_FALSE(expected.empty());
    const std::size_t before = lum::TDynamicConnList::Instance().Count();
    auto& table = root.CreateOwned<lum::TLumTable>();
    table.SetName("tblpay");
    table.SetDatabaseName(missing);
    table.SetTableName("ZTTRN.LDT");
    try {
        table.SetActive(true);
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), expected);  // no "tblpay: " in front
        EXPECT_TRUE(e.DataSetName.empty());
    }
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(lum::TDynamicConnList::Instance().Count(), before);
}

// A recording engine: connects anything to one made-up handle.
std::vector<std::string> connected;
std::vector<LUMHANDLE> disconnected;
constexpr LUMHANDLE kFakeHandle = 0x4242;
UNSIGNED32 RecordConnect(const char* path, LUMHANDLE* handle) {
    connected.emplace_back(path);
    *handle = kFakeHandle;
    return 0;
}
UNSIGNED32 RecordDisconnect(LUMHANDLE handle) {
    disconnected.push_back(handle);
    return 0;
}

TEST_F(SharedConnections, ABareDriveConnectsToItsRootOnceForAllItsDataSets) {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumConnect = &RecordConnect;
    engine.LumDisconnect = &RecordDisconnect;
    connected.clear();
    disconnected.clear();
    const std::vector<std::string> names = {"Q:", "q:\\", "Q:/"};
    for (const std::string& name : names) {
        auto& table = root.CreateOwned<lum::TLumTable>();
        table.SetEngine(engine);
        table.SetDatabaseName(name);
        EXPECT_EQ(table.AcquireConnectionHandle(), kFakeHandle) << name;
    }
    EXPECT_EQ(connected, std::vector<std::string>{"Q:\\"});
    // The end of the program disconnects every shared connection once.
    lum::TDynamicConnList::Instance().DisconnectAll();
    EXPECT_EQ(disconnected, std::vector<LUMHANDLE>{kFakeHandle});
    EXPECT_EQ(lum::TDynamicConnList::Instance().Count(), 0u);
}

UNSIGNED32 ReportDisconnect(LUMHANDLE handle) {
    std::fprintf(stderr, "disconnected %u\n", static_cast<unsigned>(handle));
    return 0;
}

TEST_F(SharedConnections, TheEndOfTheProgramDisconnectsTheSharedConnections) {
    const auto run = [this] {
        LumFunctions engine = lum::DefaultEngine();
        engine.LumConnect = &RecordConnect;
        engine.LumDisconnect = &ReportDisconnect;
        auto& table = root.CreateOwned<lum::TLumTable>();
        table.SetEngine(engine);  // the list keeps its own copy of the table
        table.SetDatabaseName("/data/at-exit");
        table.AcquireConnectionHandle();
        std::exit(0);
    };
    // A fresh process: the engine's own threads do not survive a plain fork.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "disconnected 16962");
}

struct PathCase {
    const char* what;
    std::string databaseName;
    std::string path;
    std::string aliasPath;
    TLumTableTypes type = TLumTableTypes::ttLumLDT;
};

TEST(DataSetBinding, TheWorkingFolderComesFromTheAliasTheNameOrTheFolder) {
    TempDir dir;
    const EnvironmentGuard env;
    const std::string folder = dir.path("data");
    WriteLumIni(dir, "[Databases]\nPay=/data/pay;c\nPlain=/data/plain/\nTyped=/data/typed;N\n" + folder +
                         "=/elsewhere\nC:\\pay=/elsewhere\n");
    const std::vector<PathCase> cases = {
        {"nothing", "", "", ""},
        {"a folder", "/data/folder", "/data/folder", ""},
        {"trailing separator", "/data/folder/", "/data/folder", ""},
        {"trailing backslash", "C:\\data\\", "C:\\data", ""},
        {"the root alone", "/", "/", ""},
        {"alias with a type", "pay", "/data/pay", "/data/pay", TLumTableTypes::ttLumCDX},
        {"alias without a type", "PLAIN", "/data/plain", "/data/plain/", TLumTableTypes::ttLumLDT},
        {"alias with n", "Typed", "/data/typed", "/data/typed", TLumTableTypes::ttLumNTX},
        {"no alias", "Nothing", "Nothing", ""},
        {"a folder named like an alias", folder, folder, ""},
        {"a backslash path named like an alias", "C:\\pay", "C:\\pay", ""},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.what);
        lum::TLumTable table;
        table.SetTableType(TLumTableTypes::ttLumVFP);  // the alias's type replaces it
        table.SetDatabaseName(c.databaseName);
        EXPECT_EQ(table.DatabaseName(), c.databaseName);
        EXPECT_EQ(table.AliasPath(), c.aliasPath);
        EXPECT_EQ(table.ResolveDatabasePath(), c.path);
        EXPECT_EQ(table.TableType(), c.aliasPath.empty() ? TLumTableTypes::ttLumVFP : c.type);
    }
}

TEST(DataSetBinding, AnAliasAddedLaterIsFoundWhenTheFolderIsResolved) {
    TempDir dir;
    const EnvironmentGuard env;
    WriteLumIni(dir, "[Databases]\n");
    lum::TLumTable table;
    table.SetDatabaseName("Late");
    EXPECT_EQ(table.ResolveDatabasePath(), "Late");
    WriteLumIni(dir, "[Databases]\nLate=/data/late;v\n");
    EXPECT_EQ(table.ResolveDatabasePath(), "/data/late");
    EXPECT_EQ(table.AliasPath(), "/data/late");
    EXPECT_EQ(table.TableType(), TLumTableTypes::ttLumVFP);
    // Stored, the alias's path stays when lum.ini loses the entry.
    WriteLumIni(dir, "[Databases]\n");
    EXPECT_EQ(table.ResolveDatabasePath(), "/data/late");
    table.SetDatabaseName("");
    EXPECT_EQ(table.AliasPath(), "");
    EXPECT_EQ(table.ResolveDatabasePath(), "");
}

TEST(DataSetBinding, ATableOpensThroughAnAliasOfItsFolder) {
    TempDir dir, ini;
    const EnvironmentGuard env;
    BuildSmallPractice(dir);
    WriteLumIni(ini, "[Databases]\nPractice=" + dir.path() + "/;L\n");
    lum::TLumTable table;
    table.SetDatabaseName("practice");
    table.SetTableName("ZTTRN.LDT");
    table.SetActive(true);
    EXPECT_EQ(CountRows(table), 3);
    table.SetActive(false);
    EXPECT_EQ(table.ResolveDatabasePath(), dir.path());
}

// The search's components with a lum.ini of their own.
class ConnectionAlias : public ::testing::Test {
protected:
    TempDir dir, ini;
    const EnvironmentGuard env;
    Components c;
};

TEST_F(ConnectionAlias, AConnectionConnectsThroughItsAlias) {
    BuildSmallPractice(dir);
    WriteLumIni(ini, "[Databases]\nPractice=" + dir.path() + "/ZTDDF.LDD\n");
    c.connection->SetConnectPath("/nowhere/ZTDDF.LDD");
    c.connection->SetAliasName("PRACTICE");
    EXPECT_TRUE(c.connection->AliasValid());
    EXPECT_EQ(c.connection->ConnectPath(), "");
    EXPECT_EQ(c.connection->AliasPath(), dir.path() + "/ZTDDF.LDD");
    EXPECT_EQ(c.connection->AliasTableType(), lum::TLumAliasTableType::atUnspecified);
    EXPECT_TRUE(c.connection->IsDictionaryConnection());
    EXPECT_EQ(c.query->ResolveDatabasePath(), dir.path());
    c.query->SetActive(true);
    EXPECT_TRUE(c.connection->IsConnected());
    EXPECT_EQ(CountRows(*c.query), 1);
    try {
        c.connection->SetAliasName("Other");
        FAIL() << "no exception";
    } catch (const lum::LumConnectionError& e) {
        EXPECT_EQ(e.Message(), "The TLumConnection.AliasName may not be changed when IsConnected is TRUE");
    }
    EXPECT_EQ(c.connection->AliasName(), "PRACTICE");
}

TEST_F(ConnectionAlias, AnUnknownAliasIsRefusedAtConnectUntilLumIniHasIt) {
    BuildSmallPractice(dir);
    WriteLumIni(ini, "[Databases]\n");
    c.connection->SetConnectPath(dir.path() + "/ZTDDF.LDD");
    c.connection->SetAliasName("Practice");
    EXPECT_FALSE(c.connection->AliasValid());
    EXPECT_EQ(c.connection->AliasPath(), "");
    EXPECT_EQ(c.connection->ConnectPath(), dir.path() + "/ZTDDF.LDD");  // kept when the alias is not found
    try {
        c.connection->Connect();
        FAIL() << "no exception";
    } catch (const lum::LumConnectionError& e) {
        EXPECT_EQ(e.Message(), "TLumConnection.AliasName is not valid");
    }
    EXPECT_FALSE(c.connection->IsConnected());
    WriteLumIni(ini, "[Databases]\nPractice=" + dir.path() + "/ZTDDF.LDD;x\n");
    c.connection->Connect();
    EXPECT_TRUE(c.connection->IsConnected());
    EXPECT_TRUE(c.connection->AliasValid());
    c.connection->Disconnect();
    // A connect path replaces the alias.
    c.connection->SetConnectPath(dir.path() + "/ZTDDF.LDD");
    EXPECT_EQ(c.connection->AliasName(), "");
    EXPECT_EQ(c.connection->AliasPath(), "");
}

TEST_F(ConnectionAlias, TheAliasTypeGoesToTheDataSetsThatWorkThroughTheConnection) {
    WriteLumIni(ini, "[Databases]\nFree=" + dir.path() + ";v\nPlain=" + dir.path() + "\n");
    auto& named = c.root.CreateOwned<lum::TLumTable>();
    named.SetDatabaseName("LumConnection1");
    auto& folder = c.root.CreateOwned<lum::TLumTable>();
    folder.SetLumConnection(c.connection);
    folder.SetDatabaseName("/elsewhere");
    c.connection->SetAliasName("Free");
    EXPECT_EQ(c.connection->AliasTableType(), lum::TLumAliasTableType::atVFP);
    EXPECT_FALSE(c.connection->IsDictionaryConnection());
    EXPECT_EQ(c.table->TableType(), TLumTableTypes::ttLumVFP);  // bound, DatabaseName empty
    EXPECT_EQ(named.TableType(), TLumTableTypes::ttLumVFP);     // bound by the connection's name
    EXPECT_EQ(folder.TableType(), TLumTableTypes::ttLumLDT);    // a folder of its own
    EXPECT_EQ(c.table->ResolveDatabasePath(), dir.path());
    // An alias without a type leaves the connection's type unspecified and
    // the datasets with LDT.
    c.connection->SetAliasName("Plain");
    EXPECT_EQ(c.connection->AliasTableType(), lum::TLumAliasTableType::atUnspecified);
    EXPECT_EQ(named.TableType(), TLumTableTypes::ttLumLDT);
}

class NamingConnections : public ::testing::Test {
protected:
    NamingConnections() {
        main.SetName("frmMain");
        other.SetName("frmOther");
    }
    lum::TLumTable& TableOf(fw::TComponent& owner, const std::string& databaseName) {
        auto& table = owner.CreateOwned<lum::TLumTable>();
        table.SetDatabaseName(databaseName);
        return table;
    }
    TempDir ini;
    const EnvironmentGuard env;
    fw::TComponent main, other;
};

TEST_F(NamingConnections, ANameBindsIgnoringCaseAndWithItsOwnersName) {
    WriteLumIni(ini, "[Databases]\n");
    auto& first = main.CreateOwned<lum::TLumConnection>();
    first.SetName("Conn");
    auto& second = other.CreateOwned<lum::TLumConnection>();
    second.SetName("Conn");
    const std::vector<std::tuple<fw::TComponent*, std::string, lum::TLumConnection*>> cases = {
        {&main, "conn", &first},           // same owner
        {&other, "CONN", &second},         // same owner before creation order
        {&other, "frmMain.Conn", &first},  // the owner's name picks the other
        {&other, "frmmain.conn", &first},  // also ignoring case
        {&main, "frmOther.Conn", &second}, {&main, "frmNone.Conn", nullptr},
    };
    for (const auto& [owner, name, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(TableOf(*owner, name).LumConnection(), expected);
    }
}

TEST_F(NamingConnections, ANameBindsToTheConnectionOfTheCallingThreadFirst) {
    WriteLumIni(ini, "[Databases]\n");
    lum::TLumConnection* worker = nullptr;
    lum::TLumTable* workerTable = nullptr;
    std::thread([&] {
        worker = &main.CreateOwned<lum::TLumConnection>();
        worker->SetName("Conn");
    }).join();
    auto& here = other.CreateOwned<lum::TLumConnection>();
    here.SetName("Conn");
    // Same owner, but made on another thread: this thread's connection wins.
    EXPECT_EQ(TableOf(main, "Conn").LumConnection(), &here);
    std::thread([&] { workerTable = &TableOf(main, "conn"); }).join();
    EXPECT_EQ(workerTable->LumConnection(), worker);
}

TEST_F(NamingConnections, DataSetsNamingAConnectionBeforeItExistsBindWhenItIsNamed) {
    WriteLumIni(ini, "[Databases]\n");
    auto& early = TableOf(main, "Later");
    auto& qualified = TableOf(other, "frmMain.Later");
    auto& elsewhere = TableOf(other, "Later");
    EXPECT_EQ(early.LumConnection(), nullptr);
    EXPECT_EQ(early.ResolveDatabasePath(), "Later");
    auto& connection = main.CreateOwned<lum::TLumConnection>();
    connection.SetName("Later");
    EXPECT_EQ(early.LumConnection(), &connection);
    EXPECT_EQ(early.DatabaseName(), "Later");
    // Only datasets of the connection's owner are bound on its naming.
    EXPECT_EQ(qualified.LumConnection(), nullptr);
    EXPECT_EQ(elsewhere.LumConnection(), nullptr);
}

TEST_F(NamingConnections, AStoredQueryReadBeforeItsConnectionIsBound) {
    WriteLumIni(ini, "[Databases]\n");
    fw::StoredWindow description;
    description.Components = {
        {"TLumQuery", "qryPay", {{"DatabaseName", fw::PropertyValue{std::string("LumConnection1")}}}},
        {"TLumConnection", "LumConnection1", {{"LoginPrompt", fw::PropertyValue{false}}}},
    };
    fw::TReader reader;
    lum::RegisterLumClasses(reader);
    reader.Read(main, description);
    auto* query = dynamic_cast<lum::TLumQuery*>(main.FindComponent("qryPay"));
    auto* connection = dynamic_cast<lum::TLumConnection*>(main.FindComponent("LumConnection1"));
    ASSERT_NE(query, nullptr);
    EXPECT_EQ(query->LumConnection(), connection);
    EXPECT_EQ(connection->AttachedDataSetCount(), 1u);
}

TEST_F(NamingConnections, AStoredAliasConnectsWhenReadingEnds) {
    TempDir practice;
    BuildSmallPractice(practice);
    WriteLumIni(ini, "[Databases]\nFree=" + practice.path() + "\n");
    fw::StoredWindow description;
    description.Components = {
        {"TLumConnection",
         "LumConnection1",
         {{"AliasName", fw::PropertyValue{std::string("free")}}, {"IsConnected", fw::PropertyValue{true}}}},
        {"TLumTable",
         "tblpay",
         {{"LumConnection", fw::PropertyValue{fw::ComponentRef{"LumConnection1"}}},
          {"TableName", fw::PropertyValue{std::string("ZTTRN.LDT")}}}},
    };
    fw::TReader reader;
    lum::RegisterLumClasses(reader);
    reader.Read(main, description);
    auto* connection = dynamic_cast<lum::TLumConnection*>(main.FindComponent("LumConnection1"));
    auto* table = dynamic_cast<lum::TLumTable*>(main.FindComponent("tblpay"));
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(connection->IsConnected());
    EXPECT_EQ(connection->ConnectionPath(), practice.path());
    table->SetActive(true);
    EXPECT_EQ(CountRows(*table), 3);
}

TEST_F(NamingConnections, RenamingAConnectionRenamesTheDataSetsThatNameIt) {
    WriteLumIni(ini, "[Databases]\n");
    auto& connection = main.CreateOwned<lum::TLumConnection>();
    connection.SetName("Conn1");
    auto& another = main.CreateOwned<lum::TLumConnection>();
    another.SetName("Another");
    auto& plain = TableOf(main, "conn1");
    auto& qualified = TableOf(other, "frmMain.Conn1");
    auto& boundElsewhere = TableOf(main, "Conn1");
    boundElsewhere.SetLumConnection(&another);
    auto& folder = TableOf(main, "/data/Conn1");
    connection.SetName("Conn2");
    EXPECT_EQ(plain.DatabaseName(), "Conn2");
    EXPECT_EQ(plain.LumConnection(), &connection);
    EXPECT_EQ(qualified.DatabaseName(), "frmMain.Conn2");
    EXPECT_EQ(qualified.LumConnection(), &connection);
    EXPECT_EQ(boundElsewhere.DatabaseName(), "Conn1");
    EXPECT_EQ(boundElsewhere.LumConnection(), &another);
    EXPECT_EQ(folder.DatabaseName(), "/data/Conn1");
    EXPECT_EQ(folder.LumConnection(), nullptr);
    EXPECT_EQ(connection.AttachedDataSetCount(), 2u);
}

TEST(DataSetBindingRefusals, AnOpenDataSetKeepsItsBinding) {
    TempDir dir;
    const EnvironmentGuard env;
    BuildSmallPractice(dir);
    lum::TLumTable table;
    table.SetDatabaseName(dir.path());
    table.SetTableName("ZTTRN.LDT");
    table.SetActive(true);
    lum::TLumConnection connection;
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { table.SetDatabaseName("/elsewhere"); }, "Cannot perform this operation on an open dataset"},
        {[&] { table.SetLumConnection(&connection); }, "Table must not be Active."},
    };
    for (const auto& [change, message] : cases) {
        try {
            change();
            FAIL() << "no exception for " << message;
        } catch (const lum::ELUMDatabaseError& e) {
            EXPECT_EQ(e.Message(), message);
            EXPECT_EQ(e.EngineErrorCode, lum::LayerErrorCode);
        }
    }
    EXPECT_EQ(table.DatabaseName(), dir.path());
    EXPECT_EQ(table.LumConnection(), nullptr);
}

}  // namespace
}  // namespace lumtest
