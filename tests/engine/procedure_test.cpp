// The engine's system procedures (the application id of a connection),
// statements that change data beside them, and the listings that need a
// dictionary or take a folder for a mask.
#include <cstring>

#include "tests/engine/fixture.h"
#include "tests/engine/second_process.h"

using namespace lcetest;
using lce::Value;

namespace {

class Procedures : public ::testing::Test {
protected:
    void SetUp() override {
        auto dd = lce::Dictionary::create(dir.path("ZTDDF.LDD"));
        dd.addUser("user", "brindlex");
        lce::TableFile::create(dir.path("ZTTRN.LDT"), numberedSchema()).append({Value::ofInteger(1), Value::null()});
        lce::TableFile::create(dir.path("ZTPAX.LDT"), numberedSchema());
        dd.addTable({"ZTTRN", "ZTTRN.LDT", 3, {}});
        ASSERT_EQ(LumConnect60(dir.path("ZTDDF.LDD").c_str(), 3, "user", "brindlex", 0, &conn), 0u) << lastErrorText();
        ASSERT_EQ(LumCreateSQLStatement(conn, &stmt), 0u);
    }
    void TearDown() override { LumDisconnect(conn); }

    // The application id sp_getapplicationid answers on `connection`.
    std::string applicationId(LUMHANDLE connection) {
        LUMHANDLE s = 0, cursor = 0;
        EXPECT_EQ(LumCreateSQLStatement(connection, &s), 0u);
        EXPECT_EQ(LumExecuteSQLDirect(s, "EXECUTE PROCEDURE sp_getapplicationid( )", &cursor), 0u) << lastErrorText();
        EXPECT_NE(cursor, 0u);
        LumCloseSQLStatement(s);  // the cursor outlives its statement
        UNSIGNED32 count = 0;
        EXPECT_EQ(LumGetRecordCount(cursor, 2, &count), 0u) << lastErrorText();
        EXPECT_EQ(count, 1u);
        LumGotoTop(cursor);
        char buf[400] = {};
        UNSIGNED32 len = sizeof buf;
        EXPECT_EQ(LumGetField(cursor, "ApplicationID", reinterpret_cast<UNSIGNED8*>(buf), &len, 0), 0u)
            << lastErrorText();
        LumCloseTable(cursor);
        std::string id(buf, len);
        id.erase(id.find_last_not_of(' ') + 1);
        return id;
    }

    TempDir dir;
    LUMHANDLE conn = 0, stmt = 0;
};

TEST_F(Procedures, TheApplicationIdIsKeptPerConnection) {
    EXPECT_EQ(applicationId(conn), "");
    struct Case {
        const char* sql;
        const char* parameter;  // nullptr: none bound
        const char* expected;
    };
    const Case cases[] = {
        {"EXECUTE PROCEDURE sp_setapplicationid(:FAppID)", "Payment Cross Reference", "Payment Cross Reference"},
        {"execute procedure SP_SETAPPLICATIONID(?);", "second", "second"},
        {"EXECUTE PROCEDURE sp_setapplicationid('lit''eral') -- a comment", nullptr, "lit'eral"},
        {"EXECUTE PROCEDURE sp_setapplicationid(:id)", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        ASSERT_EQ(LumPrepareSQL(stmt, c.sql), 0u) << lastErrorText();
        if (c.parameter != nullptr) {
            const auto length = static_cast<UNSIGNED32>(strlen(c.parameter));
            ASSERT_EQ(LumSetString(stmt, LUM_FIELD_NUMBER(1), c.parameter, length), 0u);
        }
        LUMHANDLE cursor = 1;
        ASSERT_EQ(LumExecuteSQL(stmt, &cursor), 0u) << lastErrorText();
        EXPECT_EQ(cursor, 0u);
        UNSIGNED32 count = 9;
        EXPECT_EQ(LumGetRecordCount(stmt, 2, &count), 0u);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(applicationId(conn), c.expected);
    }
    // Another connection to the same dictionary has its own.
    LUMHANDLE other = 0;
    ASSERT_EQ(LumConnect60(dir.path("ZTDDF.LDD").c_str(), 3, "user", "brindlex", 0, &other), 0u);
    LUMHANDLE cursor = 0;
    ASSERT_EQ(LumExecuteSQLDirect(stmt, "EXECUTE PROCEDURE sp_setapplicationid('mine')", &cursor), 0u);
    EXPECT_EQ(applicationId(other), "");
    EXPECT_EQ(applicationId(conn), "mine");
    LumDisconnect(other);
}

TEST_F(Procedures, AMalformedCallOrAnUnknownProcedureSaysWhatIsWrong) {
    struct Case {
        const char* sql;
        const char* mentions;
    };
    const Case cases[] = {
        {"EXECUTE sp_getapplicationid()", "expected PROCEDURE"},
        {"EXECUTE PROCEDURE sp_dropeverything()", "only sp_setapplicationid and sp_getapplicationid"},
        {"EXECUTE PROCEDURE sp_setapplicationid()", "takes 1 argument, not 0"},
        {"EXECUTE PROCEDURE sp_getapplicationid(:a)", "takes 0 arguments, not 1"},
        {"EXECUTE PROCEDURE sp_setapplicationid(:a, :b)", "takes 1 argument, not 2"},
        {"EXECUTE PROCEDURE sp_getapplicationid() x", "expected the end of the statement"},
        {"EXECUTE PROCEDURE sp_setapplicationid([col])", "expected a parameter or a literal"},
        {"EXECUTE PROCEDURE sp_getapplicationid", "expected \"(\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(LumPrepareSQL(stmt, c.sql), 7200u);
        const std::string text = lastErrorText();
        EXPECT_NE(text.find(c.mentions), std::string::npos) << text;
        EXPECT_NE(text.find("NativeError = "), std::string::npos) << text;
    }
    // A value too long, or not text, is refused when the call runs.
    ASSERT_EQ(LumPrepareSQL(stmt, "EXECUTE PROCEDURE sp_setapplicationid(:id)"), 0u);
    const std::string tooLong(301, 'x');
    LumSetString(stmt, LUM_FIELD_NUMBER(1), tooLong.c_str(), static_cast<UNSIGNED32>(tooLong.size()));
    LUMHANDLE cursor = 0;
    EXPECT_EQ(LumExecuteSQL(stmt, &cursor), 7200u);
    EXPECT_NE(lastErrorText().find("at most 300 characters"), std::string::npos) << lastErrorText();
    LumSetDouble(stmt, LUM_FIELD_NUMBER(1), 1.5);
    EXPECT_EQ(LumExecuteSQL(stmt, &cursor), 7200u);
    EXPECT_NE(lastErrorText().find("must be text"), std::string::npos) << lastErrorText();
    EXPECT_EQ(applicationId(conn), "");
}

// Statements that change data run on their table, after the procedures are
// told apart from them; a SELECT before and after opens the tables read-only
// and leaves the folder as it was. A table the dictionary does not name is
// "not found" before anything is created.
TEST_F(Procedures, StatementsThatChangeDataRunAndSelectsLeaveTheFolderAsItWas) {
    const auto numbers = [&] {
        LUMHANDLE cursor = 0;
        EXPECT_EQ(LumExecuteSQLDirect(stmt, "SELECT [N] FROM ZTTRN ORDER BY [N]", &cursor), 0u) << lastErrorText();
        std::vector<std::string> values;
        for (LumGotoTop(cursor);; LumSkip(cursor, 1)) {
            UNSIGNED16 eof = 0;
            LumAtEOF(cursor, &eof);
            if (eof) break;
            char buf[32];
            UNSIGNED32 len = sizeof buf;
            EXPECT_EQ(LumGetField(cursor, "N", reinterpret_cast<UNSIGNED8*>(buf), &len, 0), 0u) << lastErrorText();
            values.emplace_back(buf, len);
        }
        LumCloseTable(cursor);
        return values;
    };
    auto before = snapshot(dir.path());
    EXPECT_EQ(numbers(), (std::vector<std::string>{"1"}));
    EXPECT_EQ(snapshot(dir.path()), before) << fileNames(snapshot(dir.path()));
    struct Case {
        const char* sql;
        UNSIGNED32 changed;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"INSERT INTO ZTTRN ([N]) VALUES (3)", 1, {"1", "3"}},
        {"UPDATE ZTTRN SET [N] = 2 WHERE [N] = 1", 1, {"2", "3"}},
        {"DELETE FROM ZTTRN WHERE [N] = 3", 1, {"2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        LUMHANDLE cursor = 9;
        ASSERT_EQ(LumExecuteSQLDirect(stmt, c.sql, &cursor), 0u) << lastErrorText();
        EXPECT_EQ(cursor, 0u);
        UNSIGNED32 count = 0;
        EXPECT_EQ(LumGetRecordCount(stmt, 2, &count), 0u) << lastErrorText();
        EXPECT_EQ(count, c.changed);
        EXPECT_EQ(numbers(), c.after);
    }
    // The first write made the table's lock file; reading changes nothing more.
    before = snapshot(dir.path());
    EXPECT_EQ(fileNames(before), "ZTDDF.LDD ZTPAX.LDT ZTTRN.LDT ZTTRN.LDT.lck ");
    EXPECT_EQ(numbers(), (std::vector<std::string>{"2"}));
    EXPECT_EQ(snapshot(dir.path()), before) << fileNames(snapshot(dir.path()));
    LUMHANDLE cursor = 0;
    EXPECT_EQ(LumExecuteSQLDirect(stmt, "DELETE FROM NOSUCH", &cursor), 7200u);
    const std::string text = lastErrorText();
    EXPECT_NE(text.find("Table not found: NOSUCH"), std::string::npos) << text;
    EXPECT_EQ(snapshot(dir.path()), before) << fileNames(snapshot(dir.path()));
}

TEST_F(Procedures, DictionaryListingsNeedADictionaryAndAFolderMaskListsItsTables) {
    LUMHANDLE folder = 0;
    ASSERT_EQ(LumConnect60(dir.path().c_str(), 3, "", "", 0, &folder), 0u) << lastErrorText();
    char name[100];
    UNSIGNED16 len = sizeof name;
    LUMHANDLE find = 0;
    EXPECT_EQ(LumDDFindFirstObject(folder, 10, nullptr, name, &len, &find), 5018u);
    EXPECT_NE(lastErrorText().find("not to a data dictionary"), std::string::npos) << lastErrorText();
    std::vector<std::string> names;
    const std::string mask = dir.path() + "\\";
    len = sizeof name;
    for (UNSIGNED32 rc = LumFindFirstTable(folder, mask.c_str(), name, &len, &find); rc != 5059;
         rc = LumFindNextTable(folder, find, name, &len)) {
        ASSERT_EQ(rc, 0u) << lastErrorText();
        names.emplace_back(name);
        len = sizeof name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"ZTPAX", "ZTTRN"}));
    LumDisconnect(folder);
}

}  // namespace
