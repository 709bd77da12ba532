// Dictionary connections: login, tables by dictionary name, properties.
#include "engine/src/sqlite_db.h"
#include "tests/engine/fixture.h"

using namespace lcetest;
using lce::Value;

namespace {

class Practice : public ::testing::Test {
protected:
    void SetUp() override {
        auto dd = lce::Dictionary::create(dir.path("ZTDDF.LDD"));
        dd.addUser("user", "brindlex", {"staff", "billing"});
        dd.addUser("nogroups", "pw");
        lce::TableSchema schema;
        schema.columns = {col("Entry Number", 15)};
        lce::IndexDef ix;
        ix.name = "IDXENTRYNUMBER";
        ix.fields = {"ENTRY NUMBER"};
        schema.indexes = {ix};
        lce::TableFile::create(dir.path("ZTTRN.LDT"), schema).append({Value::null()});
        lce::TableFile::create(dir.path("ZTPAX.LDT"), schema);
        dd.addTable({"ZTTRN", "ZTTRN.LDT", 3, {{213, "IDXENTRYNUMBER"}}});
        dd.addTable({"ZTPAX", "ZTPAX.LDT", 3, {}});
    }
    UNSIGNED32 connect(const char* user, const char* password, UNSIGNED16 mask = 3) {
        const std::string p = dir.path() + "\\ztddf.ldd";
        return LumConnect60(p.c_str(), mask, user, password, 0, &conn);
    }
    void TearDown() override {
        if (conn) LumDisconnect(conn);
    }
    TempDir dir;
    LUMHANDLE conn = 0;
};

TEST_F(Practice, LoginIsAcceptedOrRefusedWithoutSayingWhy) {
    struct Case {
        const char* user;
        const char* password;
        UNSIGNED32 code;
    };
    const Case cases[] = {{"user", "brindlex", 0},      {"USER", "brindlex", 0}, {"user", "wrong", 7078},
                          {"nobody", "brindlex", 7078}, {"", "", 7078},          {nullptr, nullptr, 7078}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user ? c.user : "(null)");
        conn = 0;
        EXPECT_EQ(connect(c.user, c.password), c.code);
        if (c.code) {
            const std::string text = lastErrorText();
            EXPECT_NE(text.find(std::string("'") + (c.user ? c.user : "") + "'"), std::string::npos) << text;
            EXPECT_NE(text.find("user name or the password"), std::string::npos) << text;
        } else {
            UNSIGNED16 type = 0;
            LumGetHandleType(conn, &type);
            EXPECT_EQ(type, 6);
            LumDisconnect(conn);
        }
    }
    conn = 0;
    EXPECT_EQ(connect("user", "brindlex", 2), 6420u);  // remote only
    EXPECT_EQ(LumConnect60(dir.path("MISSING.LDD").c_str(), 3, "user", "brindlex", 0, &conn), 7008u);
    EXPECT_NE(lastErrorText().find("MISSING.LDD"), std::string::npos);
    EXPECT_EQ(LumConnect60(dir.path("ZTTRN.LDT").c_str(), 3, "user", "x", 0, &conn), 7008u);  // a folder path
    std::filesystem::copy_file(dir.path("ZTTRN.LDT"), dir.path("FAKE.LDD"));
    EXPECT_EQ(LumConnect60(dir.path("FAKE.LDD").c_str(), 3, "user", "x", 0, &conn), 7019u);
    EXPECT_NE(lastErrorText().find("FAKE.LDD"), std::string::npos);
    conn = 0;
}

TEST_F(Practice, TablesOpenByDictionaryNameWithOrWithoutExtension) {
    ASSERT_EQ(connect("user", "brindlex"), 0u) << lastErrorText();
    for (const char* name : {"ZTTRN", "ZTTRN.LDT", "zttrn"}) {
        SCOPED_TRACE(name);
        LUMHANDLE t = 0;
        ASSERT_EQ(LumOpenTable90(conn, name, nullptr, 0, 1, 1, 1, 0, "ANSI", &t), 0u) << lastErrorText();
        UNSIGNED32 n = 0;
        LumGetRecordCount(t, 2, &n);
        EXPECT_EQ(n, 1u);
        LumCloseTable(t);
    }
    LUMHANDLE t = 0;
    EXPECT_EQ(LumOpenTable90(conn, "NOSUCH", nullptr, 0, 1, 1, 1, 0, "ANSI", &t), 5132u);
    EXPECT_NE(lastErrorText().find("NOSUCH"), std::string::npos);
    // The access layer's retry by path works on the same connection.
    const std::string path = dir.path() + "\\ZTTRN.LDT";
    EXPECT_EQ(LumOpenTable90(conn, path.c_str(), nullptr, 3, 1, 1, 1, 0, "ANSI", &t), 0u) << lastErrorText();
}

// A field's default value, by table and field name in any case; a dictionary
// written before field properties existed answers that none is set, and
// reading it changes nothing.
TEST_F(Practice, FieldDefaultsAreReadByNameAndMissingOnesAreNotSet) {
    lce::Dictionary::open(dir.path("ZTDDF.LDD")).setFieldProperty("zttrn", "Entry Number", LUM_DD_FIELD_DEFAULT, "7");
    ASSERT_EQ(connect("user", "brindlex"), 0u);
    struct Case {
        const char* table;
        const char* field;
        UNSIGNED16 property;
        UNSIGNED32 code;
        const char* value;
    };
    const Case cases[] = {
        {"ZTTRN", "ENTRY NUMBER", LUM_DD_FIELD_DEFAULT, 0, "7"},
        {"ZTTRN.LDT", "entry number", LUM_DD_FIELD_DEFAULT, 0, "7"},
        {"ZTTRN", "Entry Number", LUM_DD_TABLE_DEFAULT_INDEX, LUM_ERR_PROPERTY_NOT_SET, ""},
        {"ZTPAX", "Entry Number", LUM_DD_FIELD_DEFAULT, LUM_ERR_PROPERTY_NOT_SET, ""},
        {"NOSUCH", "Entry Number", LUM_DD_FIELD_DEFAULT, LUM_ERR_NOT_IN_DICTIONARY, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.table) + "." + k.field);
        char buf[50] = {};
        UNSIGNED16 len = sizeof buf;
        EXPECT_EQ(LumDDGetFieldProperty(conn, k.table, k.field, k.property, buf, &len), k.code) << lastErrorText();
        if (k.code == 0) {
            EXPECT_STREQ(buf, k.value);
        }
    }
    LumDisconnect(conn);
    conn = 0;

    {
        lce::Db older(dir.path("ZTDDF.LDD"), lce::Db::Mode::ReadWrite);
        older.exec("DROP TABLE dd_field_properties");
    }
    const auto before = std::filesystem::last_write_time(dir.path("ZTDDF.LDD"));
    ASSERT_EQ(connect("user", "brindlex"), 0u);
    char buf[50];
    UNSIGNED16 len = sizeof buf;
    EXPECT_EQ(LumDDGetFieldProperty(conn, "ZTTRN", "Entry Number", LUM_DD_FIELD_DEFAULT, buf, &len),
              LUM_ERR_PROPERTY_NOT_SET);
    EXPECT_EQ(std::filesystem::last_write_time(dir.path("ZTDDF.LDD")), before);
}

TEST_F(Practice, PropertiesAndListings) {
    ASSERT_EQ(connect("user", "brindlex"), 0u);
    char buf[200];
    UNSIGNED16 len = sizeof buf;
    ASSERT_EQ(LumDDGetTableProperty(conn, "ZTTRN", 213, buf, &len), 0u);
    EXPECT_STREQ(buf, "IDXENTRYNUMBER");
    len = sizeof buf;
    ASSERT_EQ(LumDDGetTableProperty(conn, "ZTTRN.LDT", 213, buf, &len), 0u);
    len = sizeof buf;
    EXPECT_EQ(LumDDGetTableProperty(conn, "ZTPAX", 213, buf, &len), 5138u);
    len = 3;
    EXPECT_EQ(LumDDGetTableProperty(conn, "ZTTRN", 213, buf, &len), 5005u);
    EXPECT_EQ(len, 14);
    len = sizeof buf;
    ASSERT_EQ(LumDDGetUserProperty(conn, "user", 1102, buf, &len), 0u);
    EXPECT_STREQ(buf, "staff;billing");
    len = sizeof buf;
    EXPECT_EQ(LumDDGetUserProperty(conn, "nogroups", 1102, buf, &len), 5138u);
    std::vector<std::string> names;
    LUMHANDLE find = 0;
    len = sizeof buf;
    ASSERT_EQ(LumDDFindFirstObject(conn, 10, nullptr, buf, &len, &find), 0u);
    names.push_back(buf);
    for (;;) {
        len = sizeof buf;
        const UNSIGNED32 rc = LumDDFindNextObject(conn, find, buf, &len);
        if (rc == 5137) break;
        ASSERT_EQ(rc, 0u);
        names.push_back(buf);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"ZTTRN", "ZTPAX"}));
    char file[200];
    UNSIGNED16 flen = sizeof file;
    len = sizeof buf;
    ASSERT_EQ(LumFindFirstTable62(conn, "", buf, &len, file, &flen, &find), 0u);
    EXPECT_STREQ(file, "ZTTRN.LDT");
    len = sizeof buf;
    flen = sizeof file;
    ASSERT_EQ(LumFindNextTable62(conn, find, buf, &len, file, &flen), 0u);
    len = sizeof buf;
    flen = sizeof file;
    EXPECT_EQ(LumFindNextTable62(conn, find, buf, &len, file, &flen), 5059u);
}

TEST_F(Practice, TransactionsAndDisconnectReleaseHandles) {
    ASSERT_EQ(connect("user", "brindlex"), 0u);
    UNSIGNED16 in = 1;
    LumInTransaction(conn, &in);
    EXPECT_EQ(in, 0);
    EXPECT_EQ(LumCommitTransaction(conn), 5140u);
    ASSERT_EQ(LumBeginTransaction(conn), 0u);
    ASSERT_EQ(LumCreateSavepoint(conn, "sp1", 0), 0u);
    EXPECT_EQ(LumRollbackTransaction80(conn, "nope", 0), 5140u);
    EXPECT_EQ(LumRollbackTransaction80(conn, "SP1", 0), 0u);
    UNSIGNED32 count = 0;
    LumGetTransactionCount(conn, &count);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(LumCommitTransaction(conn), 0u);
    LUMHANDLE t = 0, stmt = 0;
    ASSERT_EQ(LumOpenTable90(conn, "ZTTRN", nullptr, 0, 1, 1, 1, 0, "ANSI", &t), 0u);
    ASSERT_EQ(LumCreateSQLStatement(conn, &stmt), 0u);
    ASSERT_EQ(LumDisconnect(conn), 0u);
    UNSIGNED16 eof = 0;
    EXPECT_EQ(LumAtEOF(t, &eof), 5018u);
    UNSIGNED16 type = 0;
    EXPECT_EQ(LumGetHandleType(stmt, &type), 5018u);
    EXPECT_EQ(LumCloseSQLStatement(stmt), 5106u);
    EXPECT_EQ(LumDisconnect(conn), 5024u);
    conn = 0;
}

}  // namespace
