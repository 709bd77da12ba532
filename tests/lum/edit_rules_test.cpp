// The rules around editing through the access layer: the record lock and the
// optimistic check against another program writing the same record, the
// rights the engine reports, and the messages of values and steps that fail.
#include <cstdio>
#include <fstream>

#include "data/lum/errors.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

using lce::Value;

// A table E.LDT of names (unique index BYNAME) and counts; column rights as given.
void BuildTable(const TempDir& dir, std::uint8_t nameRights = 6, std::uint8_t countRights = 6) {
    lce::TableSchema schema;
    lce::ColumnDef name;
    name.name = "Name";
    name.type = LUM_STRING;
    name.length = 8;
    name.permissions = nameRights;
    lce::ColumnDef count;
    count.name = "Count";
    count.type = LUM_INTEGER;
    count.permissions = countRights;
    lce::ColumnDef note;
    note.name = "Note";
    note.type = LUM_VARCHAR;
    note.length = 8;
    lce::ColumnDef amount;
    amount.name = "Amount";
    amount.type = LUM_NUMERIC;
    amount.length = 6;
    amount.decimals = 2;
    schema.columns = {name, count, note, amount};
    lce::IndexDef byName;
    byName.name = "BYNAME";
    byName.fields = {"Name"};
    byName.unique = true;
    schema.indexes = {byName};
    auto file = lce::TableFile::create(dir.path("E.LDT"), schema);
    file.append({Value::ofText("A"), Value::ofInteger(1), Value::ofText("x"), Value::ofDouble(1)});
    file.append({Value::ofText("B"), Value::ofInteger(2), Value::ofText("y"), Value::ofDouble(2)});
}

class EditTable : public ::testing::Test {
protected:
    void SetUp() override { BuildTable(dir); }
    void Open() {
        connection.SetConnectPath(dir.path());
        table.SetName("tblE");
        table.SetLumConnection(&connection);
        table.SetTableName("E.LDT");
        table.SetIndexName("BYNAME");
        table.SetActive(true);
        table.MoveToFirst();
    }
    TempDir dir;
    lum::TLumConnection connection;
    lum::TLumTable table;
};

// Runs f, which must fail with an ELUMDatabaseError; returns it.
template <class F>
lum::ELUMDatabaseError Failure(F&& f) {
    try {
        f();
    } catch (const lum::ELUMDatabaseError& e) {
        return e;
    }
    ADD_FAILURE() << "no ELUMDatabaseError";
    return lum::ELUMDatabaseError(nullptr, 0, "");
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// ---- another program on the same record ----------------------------------------

#ifdef LCE_TEST_EDITOR
// The other program holding record `recno` locked until it is released.
class OtherLock {
public:
    OtherLock(const TempDir& dir, int recno) : dir_(dir) {
        const std::string cmd =
            Quoted(LCE_TEST_EDITOR) + " lock " + Quoted(dir.path()) + " E.LDT " + std::to_string(recno);
        pipe_ = popen(cmd.c_str(), "r");
        char line[64] = {};
        locked_ = pipe_ != nullptr && std::fgets(line, sizeof line, pipe_) != nullptr &&
                  std::string(line).rfind("locked", 0) == 0;
    }
    OtherLock(const OtherLock&) = delete;
    OtherLock& operator=(const OtherLock&) = delete;
    ~OtherLock() {
        std::ofstream(dir_.path("release")).put('x');
        if (pipe_ != nullptr) pclose(pipe_);
        std::remove(dir_.path("release").c_str());
    }
    bool locked() const { return locked_; }

private:
    const TempDir& dir_;
    FILE* pipe_ = nullptr;
    bool locked_ = false;
};

// The other program writing a name into record `recno`: its answer line.
std::string OtherEdit(const TempDir& dir, int recno, const std::string& name) {
    const std::string cmd =
        Quoted(LCE_TEST_EDITOR) + " edit " + Quoted(dir.path()) + " E.LDT " + std::to_string(recno) + " Name " + name;
    FILE* pipe = popen(cmd.c_str(), "r");
    char line[64] = {};
    const bool read = pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr;
    if (pipe != nullptr) pclose(pipe);
    // "written PID" or "error CODE".
    std::string answer = read ? std::string(line) : std::string();
    if (!answer.empty() && answer.back() == '\n') answer.pop_back();
    return answer.rfind("written", 0) == 0 ? "written" : answer;
}

TEST_F(EditTable, PessimisticEditLocksTheRecordAgainstAnotherProgram) {
    Open();  // on A, record 1
    {
        // The other program holds the lock: the edit fails and stays in browse.
        OtherLock other(dir, 1);
        ASSERT_TRUE(other.locked());
        const lum::ELUMDatabaseError e = Failure([&] { table.Edit(); });
        EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_LOCKED));
        EXPECT_EQ(e.Message().rfind("tblE: ", 0), 0u) << e.Message();
        EXPECT_EQ(table.State(), fw::TDataSetState::dsBrowse);
    }
    // Ours now: the other program cannot write the record until we post.
    table.Edit();
    EXPECT_EQ(OtherEdit(dir, 1, "Z"), "error 5035");
    table.FieldNamed("Count").SetValueAsInteger(10);
    table.Post();
    EXPECT_EQ(OtherEdit(dir, 1, "Z"), "written");
    // Cancel and close give the lock back as well.
    table.MoveToFirst();
    table.Edit();
    table.Cancel();
    EXPECT_EQ(OtherEdit(dir, 2, "Y"), "written");
    table.MoveToFirst();
    table.Edit();
    EXPECT_EQ(OtherEdit(dir, 2, "W"), "error 5035");  // B is the first record: record 2
    table.SetActive(false);
    EXPECT_EQ(OtherEdit(dir, 2, "V"), "written");
}

TEST_F(EditTable, OptimisticPostFindsTheRecordChangedByAnotherProgram) {
    table.LumTableOptions().SetLumRecordLockingMode(lum::TLumRecordLockingModes::lmOptimistic);
    Open();
    table.Edit();  // no lock: the other program may write
    EXPECT_EQ(OtherEdit(dir, 1, "Z"), "written");
    table.FieldNamed("Count").SetValueAsInteger(10);
    const lum::ELUMDatabaseError e = Failure([&] { table.Post(); });
    EXPECT_EQ(e.Message(), "tblE: Record was changed by another user.");
    EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_RECORD_CHANGED));
    EXPECT_EQ(table.State(), fw::TDataSetState::dsEdit);
    EXPECT_EQ(table.FieldNamed("Count").ValueAsInteger(), 10);  // the values are kept
    table.Cancel();
    // The other program's record is there, unchanged by us; an unhindered edit posts.
    table.MoveToLast();
    EXPECT_EQ(table.FieldNamed("Name").ValueAsText(), "Z");
    EXPECT_EQ(table.FieldNamed("Count").ValueAsInteger(), 1);
    table.Edit();
    table.FieldNamed("Count").SetValueAsInteger(11);
    table.Post();
    EXPECT_EQ(OtherEdit(dir, 1, "Y"), "written");  // the check's lock was given back
}
#endif

// ---- rights -------------------------------------------------------------------------

TEST(EditRights, RefusalsCarryTheirTextsThroughTheEngine) {
    struct Case {
        const char* what;
        bool readOnlyFile;
        std::uint8_t nameRights;
        bool inserting;
        const char* message;
    };
    const Case cases[] = {
        {"table not updatable", true, 6, false, "tblE: Update permission not granted on this table."},
        {"table not insertable", true, 6, true, "tblE: Insert permission not granted on this table."},
        {"field not updatable", false, 4, false, "tblE: Update permission not granted on this field: Name."},
        {"field not insertable", false, 2, true, "tblE: Insert permission not granted on this field: Name."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TempDir dir;
        BuildTable(dir, k.nameRights);
        if (k.readOnlyFile) std::filesystem::permissions(dir.path("E.LDT"), std::filesystem::perms::owner_read);
        lum::TLumConnection connection;
        connection.SetConnectPath(dir.path());
        lum::TLumTable table;
        table.SetName("tblE");
        table.SetLumConnection(&connection);
        table.SetTableName("E.LDT");
        table.SetActive(true);
        const lum::ELUMDatabaseError e = Failure([&] {
            if (k.inserting) {
                table.Append();
            } else {
                table.Edit();
            }
            table.FieldNamed("Name").SetValueAsText("Q");
        });
        EXPECT_EQ(e.Message(), k.message);
        EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_CALLER_TEXT));
        table.Cancel();
        // The other column may still be written where only the one is refused.
        if (!k.readOnlyFile) {
            if (k.inserting) {
                table.Append();
            } else {
                table.Edit();
            }
            table.FieldNamed("Count").SetValueAsInteger(7);
            EXPECT_NO_THROW(table.Cancel());
        }
        table.SetActive(false);
        std::filesystem::permissions(dir.path("E.LDT"), std::filesystem::perms::owner_all);
    }
}

}  // namespace
}  // namespace lumtest
