// What a connection tells and lists besides its datasets: server information,
// the tables of a dictionary or a folder, the user's groups, the dictionary's
// links, and the steps around a commit and a rollback; each against a real
// practice, with the engine calls the connection makes recorded.
#include <cstdio>

#include "data/lum/errors.h"
#include "engine/lce_builder.h"
#include "framework/format.h"
#include "tests/lum/binding_fixture.h"
#include "tests/lum/fixture.h"
#include "tests/lum/recording_engine.h"

namespace lumtest {
namespace {

using Calls = std::vector<std::string>;
using Names = std::vector<std::string>;

class ConnectionInfo : public ::testing::Test {
protected:
    void SetUp() override {
        BuildPractice(dir, {{1, "I", -50.0}, {2, "A", 50.0}}, {{1, 2, 50.0}});
        lce::Dictionary::open(dir.path("ZTDDF.LDD")).addUser("grouped", "pw", {"staff", "billing"});
        conn.SetConnectPath(Dictionary());
        Log().Clear();
    }
    void TearDown() override { Log().Clear(); }
    std::string Dictionary() const { return dir.path() + "\\ZTDDF.LDD"; }

    void Record() {
        LUMTEST_RECORD(engine, LumGetServerName);
        LUMTEST_RECORD(engine, LumGetConnectionType);
        LUMTEST_RECORD(engine, LumIsConnectionAlive);
        LUMTEST_RECORD(engine, LumGetServerTime);
        LUMTEST_RECORD(engine, LumConvertDateToJulian);
        LUMTEST_RECORD(engine, LumConvertJulianToString);
        LUMTEST_RECORD(engine, LumFindFirstTable);
        LUMTEST_RECORD(engine, LumFindNextTable);
        LUMTEST_RECORD(engine, LumFindFirstTable62);
        LUMTEST_RECORD(engine, LumFindNextTable62);
        LUMTEST_RECORD(engine, LumFindClose);
        LUMTEST_RECORD(engine, LumDDFindFirstObject);
        LUMTEST_RECORD(engine, LumDDFindNextObject);
        LUMTEST_RECORD(engine, LumDDFindClose);
        LUMTEST_RECORD(engine, LumDDGetUserProperty);
        LUMTEST_RECORD(engine, LumGetNumActiveLinks);
        LUMTEST_RECORD(engine, LumGetActiveLinkInfo);
        LUMTEST_RECORD(engine, LumCloseCachedTables);
        conn.SetEngine(engine);
    }

    TempDir dir;
    Components c;
    lum::TLumConnection& conn = *c.connection;
    LumFunctions engine = lum::DefaultEngine();
};

template <class E>
std::string MessageOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const E& e) {
        return e.Message();
    }
    return "(no exception)";
}

TEST_F(ConnectionInfo, WithoutAConnectionNothingIsAskedOfTheEngine) {
    Record();
    const std::pair<const char*, std::function<void()>> refusals[] = {
        {"Must be connected to get Lumen server name.", [&] { conn.ServerName(); }},
        {"No connection to Lumen server.", [&] { conn.GetTableNames("*.ldt"); }},
        {"No connection to Lumen server.", [&] { conn.GetTableNamesEx(); }},
    };
    for (const auto& [message, run] : refusals) EXPECT_EQ(MessageOf<lum::LumConnectionError>(run), message);
    EXPECT_EQ(conn.ConnectionTypeName(), "");
    EXPECT_FALSE(conn.IsAlive());
    EXPECT_EQ(conn.ActiveLinkCount(), 0);
    EXPECT_TRUE(conn.GetActiveLinks().empty());
    EXPECT_TRUE(conn.UserGroups().empty());
    EXPECT_EQ(conn.UserGroupsText(), "");
    conn.CloseCachedTables();
    EXPECT_FALSE(conn.IsConnected());
    EXPECT_EQ(Log().calls, Calls{});
}

UNSIGNED16 connectionType = 0;

TEST_F(ConnectionInfo, ServerInformationComesFromTheEngineAndItsFailuresAreLumErrors) {
    conn.SetIsConnected(true);
    EXPECT_EQ(conn.ServerName(), dir.path()) << "the engine names the dictionary's folder";
    EXPECT_EQ(conn.ConnectionTypeName(), "Local");
    EXPECT_TRUE(conn.IsAlive());

    Record();
    engine.LumGetConnectionType = [](LUMHANDLE, UNSIGNED16* type) -> UNSIGNED32 {
        *type = connectionType;
        return 0;
    };
    conn.SetEngine(engine);
    const std::pair<UNSIGNED16, const char*> types[] = {{1, "Local"}, {2, "Remote"}, {4, "Internet"}, {3, ""}, {0, ""}};
    for (const auto& [type, name] : types) {
        connectionType = type;
        EXPECT_EQ(conn.ConnectionTypeName(), name) << type;
    }

    Record();
    const std::pair<const char*, std::function<void()>> reads[] = {
        {"LumGetServerName", [&] { conn.ServerName(); }},
        {"LumGetConnectionType", [&] { conn.ConnectionTypeName(); }},
        {"LumIsConnectionAlive", [&] { conn.IsAlive(); }},
    };
    for (const auto& [entry, read] : reads) {
        SCOPED_TRACE(entry);
        Log().failing = {{entry, LUM_ERR_INVALID_HANDLE}};
        EXPECT_EQ(MessageOf<lum::LumError>(read), InjectedText(entry));
    }
}

std::string serverDate;
std::string julianText;

TEST_F(ConnectionInfo, TheServerTimeIsTheServersDateAndTimeOfDay) {
    Record();
    engine.LumGetServerTime = [](LUMHANDLE, char* date, UNSIGNED16* dateLength, SIGNED32* time, char*,
                                 UNSIGNED16*) -> UNSIGNED32 {
        Log().calls.emplace_back("LumGetServerTime(" + std::to_string(*dateLength) + ")");
        std::snprintf(date, *dateLength, "%s", serverDate.c_str());
        *dateLength = static_cast<UNSIGNED16>(serverDate.size());
        *time = ((12 * 60 + 34) * 60 + 56) * 1000 + 789;
        return 0;
    };
    conn.SetEngine(engine);
    serverDate = "20240229";
    const double expected = fw::EncodeDate(2024, 2, 29) + fw::EncodeTime(12, 34, 56, 789);
    EXPECT_NEAR(conn.ServerTime(), expected, 1e-9);
    EXPECT_TRUE(conn.IsConnected()) << "connected on demand";
    EXPECT_EQ(Log().calls,
              (Calls{"LumGetServerTime(69)", "LumConvertDateToJulian(\"20240229\",8)", "LumConvertJulianToString"}));

    // What the engine answers for a date that is none.
    serverDate = "20241301";
    EXPECT_NE(MessageOf<lum::ELUMDatabaseError>([&] { conn.ServerTime(); }), "(no exception)");
    engine.LumConvertJulianToString = [](double, char* text, UNSIGNED16* length) -> UNSIGNED32 {
        std::snprintf(text, *length, "%s", julianText.c_str());
        *length = static_cast<UNSIGNED16>(julianText.size());
        return 0;
    };
    conn.SetEngine(engine);
    serverDate = "20240229";
    for (const char* text : {"20241301", "2024022", "2024-2-2"}) {
        julianText = text;
        EXPECT_EQ(
            MessageOf<lum::LumConnectionError>([&] { conn.ServerTime(); }),
            "The server's date \"" + julianText + "\" is not a valid date; check the date settings of the server");
    }
}

TEST_F(ConnectionInfo, TablesOfADictionaryOrOfAFolderAndItsMask) {
    TempDir iniDir;
    const EnvironmentGuard env;
    WriteLumIni(iniDir,
                "[Databases]\nLDTS=" + dir.path() + ";l\nDBFS=" + dir.path() + ";C\nPLAIN=" + dir.path() + "/\n");
    Record();
    const std::string folder = dir.path();
    struct Case {
        const char* name;
        std::function<void()> bind;
        std::string mask;
        Names names;
        Names files;
        std::string searched;
    };
    const Case cases[] = {
        {"a dictionary lists its tables whatever the mask",
         [&] { conn.SetConnectPath(Dictionary()); },
         "*.dbf",
         {"ZTTRN", "ZTPAX"},
         {"ZTTRN.LDT", "ZTPAX.LDT"},
         ""},
        {"a folder: the tables of the mask",
         [&] { conn.SetConnectPath(folder); },
         "*.ldt",
         {"ZTPAX", "ZTTRN"},
         {"ZTPAX.LDT", "ZTTRN.LDT"},
         folder + "\\*.ldt"},
        {"a trailing separator is dropped",
         [&] { conn.SetConnectPath(folder + "/"); },
         "ZTT*",
         {"ZTTRN"},
         {"ZTTRN.LDT"},
         folder + "\\ZTT*"},
        {"no mask: the folder's tables",
         [&] { conn.SetConnectPath(folder); },
         "",
         {"ZTPAX", "ZTTRN"},
         {"ZTPAX.LDT", "ZTTRN.LDT"},
         folder + "\\"},
        {"a mask nothing matches", [&] { conn.SetConnectPath(folder); }, "*.dbf", {}, {}, folder + "\\*.dbf"},
        {"an alias of LDT tables overrides the mask",
         [&] { conn.SetAliasName("LDTS"); },
         "*.dbf",
         {"ZTPAX", "ZTTRN"},
         {"ZTPAX.LDT", "ZTTRN.LDT"},
         folder + "\\*.ldt"},
        {"an alias of another type lists dBASE files",
         [&] { conn.SetAliasName("DBFS"); },
         "*.ldt",
         {},
         {},
         folder + "\\*.dbf"},
        {"an alias without a type takes the mask",
         [&] { conn.SetAliasName("PLAIN"); },
         "ZTP*",
         {"ZTPAX"},
         {"ZTPAX.LDT"},
         folder + "\\ZTP*"},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        conn.SetIsConnected(false);
        x.bind();
        conn.SetIsConnected(true);
        Log().calls.clear();
        EXPECT_EQ(conn.GetTableNames(x.mask), x.names);
        const Calls calls = Log().calls;
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front(), "LumFindFirstTable(\"" + x.searched + "\")");
        EXPECT_EQ(CallsStartingWith("LumFindClose").size(), x.names.empty() ? 0u : 1u) << "the search is let go";
        const lum::TLumTableNames both = conn.GetTableNamesEx(x.mask);
        EXPECT_EQ(both.Names, x.names);
        EXPECT_EQ(both.Files, x.files);
    }
}

TEST_F(ConnectionInfo, AFailedListingIsTheEnginesOwnOnAFolderAndCheckedOnADictionary) {
    Record();
    Log().failing = {{"LumFindNextTable", LUM_ERR_INVALID_HANDLE}};
    conn.SetIsConnected(true);
    try {
        conn.GetTableNames();
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.Message(), InjectedText("LumFindNextTable"));
        EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_INVALID_HANDLE));
    }
    EXPECT_EQ(CallsStartingWith("LumFindClose").size(), 1u);
    conn.SetIsConnected(false);
    conn.SetConnectPath(dir.path());
    conn.SetIsConnected(true);
    EXPECT_EQ(MessageOf<lum::LumError>([&] { conn.GetTableNames("*.ldt"); }), InjectedText("LumFindNextTable"));
}

TEST_F(ConnectionInfo, TheDictionarysTablesConnectWhenNeededAndNeedADictionary) {
    Record();
    EXPECT_EQ(conn.GetDictionaryTableNames(), (Names{"ZTTRN", "ZTPAX"}));
    EXPECT_TRUE(conn.IsConnected());
    EXPECT_EQ(Log().calls,
              (Calls{"LumDDFindFirstObject(10,\"\")", "LumDDFindNextObject", "LumDDFindNextObject", "LumDDFindClose"}));
    conn.SetIsConnected(false);
    conn.SetConnectPath(dir.path());
    try {
        conn.GetDictionaryTableNames();
        FAIL() << "no exception";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_NE(e.Message().find("not to a data dictionary"), std::string::npos) << e.Message();
        EXPECT_TRUE(e.DataSetName.empty());
    }
}

TEST_F(ConnectionInfo, TheUsersGroupsAreReadOncePerConnect) {
    Record();
    struct Case {
        const char* user;
        const char* password;
        Names groups;
        std::string text;
        std::size_t reads;  // engine calls: the size, then the text
    };
    const Case cases[] = {{"grouped", "pw", {"staff", "billing"}, "staff;billing", 2}, {"user", "brindlex", {}, "", 1}};
    for (const Case& x : cases) {
        SCOPED_TRACE(x.user);
        conn.SetIsConnected(false);
        conn.SetUsername(x.user);
        conn.SetPassword(x.password);
        for (int connect = 0; connect < 2; ++connect) {
            conn.SetIsConnected(false);
            conn.SetIsConnected(true);
            Log().calls.clear();
            EXPECT_EQ(conn.UserGroups(), x.groups);
            EXPECT_EQ(conn.UserGroupsText(), x.text);
            EXPECT_EQ(conn.UserGroups(), x.groups);
            EXPECT_EQ(Log().calls, Calls(x.reads, "LumDDGetUserProperty(\"" + std::string(x.user) + "\",1102)"));
        }
    }
    conn.SetIsConnected(false);
    conn.SetIsConnected(true);
    Log().failing = {{"LumDDGetUserProperty", LUM_ERR_INVALID_HANDLE}};
    EXPECT_EQ(MessageOf<lum::ELUMDatabaseError>([&] { conn.UserGroups(); }), InjectedText("LumDDGetUserProperty"));
}

const char* const linkInfos[] = {"LINK1;/data/one.ldd", "LINK2"};

TEST_F(ConnectionInfo, LinksAreTheEnginesSplitIntoAliasAndPath) {
    conn.SetIsConnected(true);
    EXPECT_EQ(conn.ActiveLinkCount(), 0);
    EXPECT_TRUE(conn.GetActiveLinks().empty());
    Record();
    engine.LumGetNumActiveLinks = [](LUMHANDLE, UNSIGNED16* count) -> UNSIGNED32 {
        *count = 2;
        return 0;
    };
    engine.LumGetActiveLinkInfo = [](LUMHANDLE, UNSIGNED16 link, char* info, UNSIGNED16* length) -> UNSIGNED32 {
        Log().calls.emplace_back("LumGetActiveLinkInfo(" + std::to_string(link) + ")");
        const std::string text = linkInfos[link - 1];
        std::snprintf(info, *length, "%s", text.c_str());
        *length = static_cast<UNSIGNED16>(text.size());
        return 0;
    };
    conn.SetEngine(engine);
    const std::vector<lum::TLumActiveLink> links = conn.GetActiveLinks();
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].Alias, "LINK1");
    EXPECT_EQ(links[0].Path, "/data/one.ldd");
    EXPECT_EQ(links[1].Alias, "LINK2");
    EXPECT_EQ(links[1].Path, "");
    EXPECT_EQ(Log().calls, (Calls{"LumGetActiveLinkInfo(1)", "LumGetActiveLinkInfo(2)"}));
}

TEST_F(ConnectionInfo, CachedTablesAreLetGoWhileConnected) {
    Record();
    conn.SetIsConnected(true);
    conn.CloseCachedTables();
    EXPECT_EQ(Log().calls, Calls{"LumCloseCachedTables"});
    Log().failing = {{"LumCloseCachedTables", LUM_ERR_INVALID_HANDLE}};
    EXPECT_EQ(MessageOf<lum::ELUMDatabaseError>([&] { conn.CloseCachedTables(); }),
              InjectedText("LumCloseCachedTables"));
}

// A connection whose commit and rollback steps a test can run, and datasets
// that note what they are told.
class StepsConnection : public lum::TLumConnection {
public:
    using lum::TLumConnection::CommitSteps;
    using lum::TLumConnection::RollbackSteps;
};

Calls told;

class TellingQuery : public lum::TLumQuery {
public:
    using lum::TLumQuery::TLumQuery;
    void CancelPendingEdit() override { told.push_back("cancel " + Name()); }
    void Refresh() override {
        told.push_back("refresh " + Name());
        lum::TLumQuery::Refresh();
    }
};

TEST_F(ConnectionInfo, CommitAndRollbackStepsTellTheEventsAndTheAttachedDataSets) {
    StepsConnection steps;
    steps.SetConnectPath(dir.path());
    steps.SetLoginPrompt(false);
    TellingQuery open, closed;
    open.SetName("open");
    closed.SetName("closed");
    for (TellingQuery* q : {&open, &closed}) {
        q->SetLumConnection(&steps);
        q->SetSQL({"SELECT [Entry Number] FROM ZTTRN ORDER BY 1"});
    }
    open.SetActive(true);
    open.MoveToNext();
    const auto note = [](const char* what) { return [what](lum::TLumConnection&) { told.emplace_back(what); }; };
    steps.BeforeCommit = note("BeforeCommit");
    steps.AfterCommit = note("AfterCommit");
    steps.BeforeRollback = note("BeforeRollback");
    steps.AfterRollback = note("AfterRollback");
    struct Case {
        const char* name;
        bool commit;
        bool cancelOnRollback;
        bool engineFails;
        Calls told;
    };
    const Case cases[] = {
        {"commit", true, true, false, {"BeforeCommit", "engine", "AfterCommit"}},
        {"rollback",
         false,
         true,
         false,
         {"BeforeRollback", "cancel open", "cancel closed", "engine", "refresh open", "AfterRollback"}},
        {"rollback keeping the edits",
         false,
         false,
         false,
         {"BeforeRollback", "engine", "refresh open", "AfterRollback"}},
        {"a failed rollback ends the steps",
         false,
         true,
         true,
         {"BeforeRollback", "cancel open", "cancel closed", "engine"}},
        {"a failed commit ends the steps", true, true, true, {"BeforeCommit", "engine"}},
    };
    for (const Case& x : cases) {
        SCOPED_TRACE(x.name);
        steps.ExecuteSQL("SELECT * FROM ZTPAX", nullptr, nullptr, true);
        ASSERT_EQ(steps.CachedStatementCount(), 1u);
        steps.SetCancelOnRollback(x.cancelOnRollback);
        told.clear();
        const auto engineCall = [&] {
            told.emplace_back("engine");
            EXPECT_EQ(steps.CachedStatementCount(), 0u) << "closed before the engine's call";
            if (x.engineFails) throw lum::LumConnectionError("refused");
        };
        try {
            if (x.commit) {
                steps.CommitSteps(engineCall);
            } else {
                steps.RollbackSteps(engineCall);
            }
            EXPECT_FALSE(x.engineFails);
        } catch (const lum::LumConnectionError&) {
            EXPECT_TRUE(x.engineFails);
        }
        EXPECT_EQ(told, x.told);
        EXPECT_TRUE(open.Active());
        EXPECT_EQ(open.FieldNamed("Entry Number").ValueAsInteger(), 2) << "still on its record";
        EXPECT_FALSE(closed.Active());
    }
}

TEST_F(ConnectionInfo, SettingTheStateItHasDoesNothing) {
    Calls events;
    const auto note = [&](const char* what) {
        return [&events, what](lum::TLumConnection&) { events.push_back(what); };
    };
    conn.BeforeConnect = note("BeforeConnect");
    conn.AfterConnect = note("AfterConnect");
    conn.OnConnect = note("OnConnect");
    conn.BeforeDisconnect = note("BeforeDisconnect");
    conn.AfterDisconnect = note("AfterDisconnect");
    conn.OnDisconnect = note("OnDisconnect");
    const std::pair<bool, Calls> steps[] = {
        {true, {"BeforeConnect", "AfterConnect", "OnConnect"}},
        {true, {}},
        {false, {"BeforeDisconnect", "AfterDisconnect", "OnDisconnect"}},
        {false, {}},
    };
    for (const auto& [connected, expected] : steps) {
        events.clear();
        conn.SetIsConnected(connected);
        EXPECT_EQ(events, expected) << connected;
    }
}

TEST_F(ConnectionInfo, AConnectionThatCannotDisconnectAsItGoesLetsTheEngineReportIt) {
    LUMTEST_RECORD(engine, LumDisconnect);
    LUMTEST_RECORD(engine, LumShowError);
    const std::pair<UNSIGNED32, Calls> cases[] = {
        {LUM_ERR_INVALID_HANDLE, {"LumDisconnect", "LumShowError(\"Lum Exception Error\")"}},
        {LUM_ERR_CONNECTION_GONE, {"LumDisconnect"}},
    };
    for (const auto& [code, calls] : cases) {
        SCOPED_TRACE(code);
        auto going = std::make_unique<lum::TLumConnection>();
        going->SetConnectPath(dir.path());
        going->SetEngine(engine);
        going->SetIsConnected(true);
        const LUMHANDLE handle = going->ConnectionHandle();
        Log().calls.clear();
        Log().failing = {{"LumDisconnect", code}};
        going.reset();
        EXPECT_EQ(Log().calls, calls);
        Log().failing.clear();
        EXPECT_EQ(lum::DefaultEngine().LumDisconnect(handle), 0u) << "still connected, as the failure said";
    }
}

}  // namespace
}  // namespace lumtest
