// The rules around editing through the access layer: the record lock and the
// optimistic check against another program writing the same record, the
// rights the engine reports, and the messages of values and steps that fail.
#include <cstdio>
#include <fstream>
#include <optional>

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

// ---- values and steps that fail ------------------------------------------------------

// The real engine, for the wrapped ones below.
const LumFunctions& Real() { return lum::DefaultEngine(); }

TEST_F(EditTable, ALockOnAStaticViewIsRefusedWithItsOwnText) {
    // Static: the table, a member of the fixture, closes through it after the test body.
    static LumFunctions engine;
    engine = Real();
    engine.LumLockRecord = [](LUMHANDLE, UNSIGNED32) -> UNSIGNED32 { return LUM_ERR_STATIC_VIEW; };
    table.SetEngine(engine);
    Open();
    const lum::ELUMDatabaseError e = Failure([&] { table.Edit(); });
    EXPECT_EQ(e.Message(), "tblE: This table is based on a static VIEW. Static VIEWs can not be updated.");
    EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_STATIC_VIEW));
    EXPECT_EQ(table.State(), fw::TDataSetState::dsBrowse);
    // Neither an exclusive table nor optimistic locking asks for the lock.
    table.LumTableOptions().SetLumRecordLockingMode(lum::TLumRecordLockingModes::lmOptimistic);
    table.Edit();
    table.Cancel();
    table.SetActive(false);
    table.LumTableOptions().SetLumRecordLockingMode(lum::TLumRecordLockingModes::lmPessimistic);
    table.SetExclusive(true);
    table.SetActive(true);
    table.MoveToFirst();
    table.Edit();
    table.FieldNamed("Count").SetValueAsInteger(4);
    table.Post();
    EXPECT_EQ(table.FieldNamed("Count").ValueAsInteger(), 4);
}

// A calculated field follows the record being edited and is kept in the
// record buffer beside the record image.
TEST_F(EditTable, CalculatedFieldsFollowTheEditedRecord) {
    table.AddField(std::make_unique<fw::TStringField>(table, fw::TFieldType::ftString, "Name", 8, 1));
    table.AddField(std::make_unique<fw::TIntegerField>(table, fw::TFieldType::ftInteger, "Count", 0, 2));
    auto twice = std::make_unique<fw::TIntegerField>(table, fw::TFieldType::ftInteger, "Twice", 0, 0);
    twice->SetFieldKind(fw::TFieldKind::fkCalculated);
    table.AddField(std::move(twice));
    table.OnCalcFields = [](fw::TDataSet& dataSet) {
        const fw::TField& count = dataSet.FieldNamed("Count");
        if (!count.IsNull()) dataSet.FieldNamed("Twice").SetValueAsInteger(count.ValueAsInteger() * 2);
    };
    Open();
    EXPECT_EQ(table.FieldNamed("Twice").ValueAsInteger(), 2);
    table.Edit();
    table.FieldNamed("Count").SetValueAsInteger(21);
    EXPECT_EQ(table.FieldNamed("Twice").ValueAsInteger(), 42);
    table.FieldNamed("Count").Clear();
    EXPECT_TRUE(table.FieldNamed("Twice").IsNull());
    table.Cancel();
    EXPECT_EQ(table.FieldNamed("Twice").ValueAsInteger(), 2);
    table.MoveToNext();
    EXPECT_EQ(table.FieldNamed("Twice").ValueAsInteger(), 4);
}

// While a record's calculated fields are worked out, RecordNumber is that
// record's, not the active one's.
TEST_F(EditTable, TheRecordNumberWhileCalculatingIsThatOfTheRecordCalculated) {
    table.AddField(std::make_unique<fw::TStringField>(table, fw::TFieldType::ftString, "Name", 8, 1));
    auto number = std::make_unique<fw::TIntegerField>(table, fw::TFieldType::ftInteger, "Number", 0, 0);
    number->SetFieldKind(fw::TFieldKind::fkCalculated);
    table.AddField(std::move(number));
    table.OnCalcFields = [this](fw::TDataSet& dataSet) {
        dataSet.FieldNamed("Number").SetValueAsInteger(table.RecordNumber());
    };
    Open();
    EXPECT_EQ(table.FieldNamed("Number").ValueAsInteger(), 1);
    table.MoveToNext();
    EXPECT_EQ(table.FieldNamed("Number").ValueAsInteger(), 2);
    EXPECT_EQ(table.RecordNumber(), 2);
}

TEST_F(EditTable, AFailedPostKeepsTheRecordAndItsValues) {
    Open();
    table.Append();
    table.FieldNamed("Name").SetValueAsText("A");  // the unique index holds A already
    const lum::ELUMDatabaseError e = Failure([&] { table.Post(); });
    EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_DUPLICATE_KEY));
    EXPECT_EQ(table.State(), fw::TDataSetState::dsInsert);
    EXPECT_EQ(table.FieldNamed("Name").ValueAsText(), "A");
    table.FieldNamed("Name").SetValueAsText("C");
    table.Post();
    EXPECT_EQ(table.CountRecords(), 3);
    // A value too wide for its numeric column is refused when written.
    table.Edit();
    const lum::ELUMDatabaseError wide = Failure([&] { table.FieldNamed("Amount").SetValueAsFloat(12345.5); });
    EXPECT_EQ(wide.Message(), "tblE: Numeric out of range.");
    table.FieldNamed("Amount").SetValueAsFloat(999.99);
    table.Post();
    EXPECT_EQ(table.FieldNamed("Amount").ValueAsText(), "999.99");
}

TEST_F(EditTable, AFailedDeletionIsCancelledInTheEngine) {
    LumFunctions failing = Real();
    failing.LumWriteRecord = [](LUMHANDLE) -> UNSIGNED32 {
        return LumSetLastError(LUM_ERR_WRITE_FAILED, "The disk is full");
    };
    Open();
    table.SetEngine(failing);
    const lum::ELUMDatabaseError e = Failure([&] { table.Delete(); });
    EXPECT_EQ(e.Message(), "tblE: The disk is full");
    table.SetEngine(Real());
    // No deletion is left pending: the next write changes only what it writes.
    table.Edit();
    table.FieldNamed("Count").SetValueAsInteger(9);
    table.Post();
    table.SetActive(false);
    table.SetActive(true);
    EXPECT_EQ(table.CountRecords(), 2);
    table.MoveToFirst();
    EXPECT_EQ(table.FieldNamed("Count").ValueAsInteger(), 9);
}

// A column given by number (LUM_FIELD_NUMBER), as text.
std::string ColumnOf(LUMFIELD f) { return std::to_string(reinterpret_cast<std::uintptr_t>(f)); }

// Setters the engine was called with while a record was posted.
std::vector<std::string>& SetterCalls() {
    static std::vector<std::string> calls;
    return calls;
}

TEST_F(EditTable, PostSendsOnlyTheWrittenColumns) {
    static LumFunctions counting;  // outlives the table, which closes through it
    counting = Real();
    counting.LumSetField = [](LUMHANDLE h, LUMFIELD f, const UNSIGNED8* b, UNSIGNED32 n) -> UNSIGNED32 {
        SetterCalls().push_back("field " + ColumnOf(f));
        return Real().LumSetField(h, f, b, n);
    };
    counting.LumSetFieldRaw = [](LUMHANDLE h, LUMFIELD f, const UNSIGNED8* b, UNSIGNED32 n) -> UNSIGNED32 {
        SetterCalls().push_back("raw " + ColumnOf(f));
        return Real().LumSetFieldRaw(h, f, b, n);
    };
    counting.LumSetNull = [](LUMHANDLE h, LUMFIELD f) -> UNSIGNED32 {
        SetterCalls().push_back("null " + ColumnOf(f));
        return Real().LumSetNull(h, f);
    };
    counting.LumSetEmpty = [](LUMHANDLE h, LUMFIELD f) -> UNSIGNED32 {
        SetterCalls().push_back("empty " + ColumnOf(f));
        return Real().LumSetEmpty(h, f);
    };
    table.SetEngine(counting);
    Open();
    SetterCalls().clear();
    table.Edit();
    table.FieldNamed("Count").SetValueAsInteger(10);
    EXPECT_EQ(table.FieldNamed("Count").OldValue().AsInteger(), 1);  // the value editing started with
    table.FieldNamed("Amount").Clear();
    table.Post();
    EXPECT_EQ(SetterCalls(), (std::vector<std::string>{"raw 2", "null 4"}));
    EXPECT_EQ(table.FieldNamed("Count").OldValue().AsInteger(), 10);  // outside editing: the stored value
    EXPECT_TRUE(table.FieldNamed("Amount").IsNull());
    SetterCalls().clear();
    table.Edit();
    table.Post();  // nothing written, nothing sent
    EXPECT_TRUE(SetterCalls().empty());
}

// Character values: trailing blanks go unless LumPreserveSpaces keeps
// them, and blanks only are written as the empty value (a variable LDT
// column's empty value has no length, which reads as null).
TEST(EditSpaces, TrailingBlanksAndBlankValues) {
    struct Case {
        bool preserve;
        const char* text;
        UNSIGNED32 storedLength;
        bool null;
    };
    const Case cases[] = {
        {false, "ab  ", 2, false},
        {true, "ab  ", 4, false},
        {false, "   ", 0, true},
        {true, "   ", 3, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.preserve ? "kept '" : "trimmed '") + k.text + "'");
        TempDir dir;
        BuildTable(dir);
        lum::TLumConnection connection;
        connection.SetConnectPath(dir.path());
        lum::TLumTable table;
        table.SetLumConnection(&connection);
        table.SetTableName("E.LDT");
        table.LumTableOptions().SetLumPreserveSpaces(k.preserve);
        table.SetActive(true);
        table.MoveToFirst();
        table.Edit();
        table.FieldNamed("Note").SetValueAsText(k.text);
        table.Post();
        UNSIGNED32 length = 99;
        EXPECT_EQ(LumGetDataLength(table.CursorHandle(), "Note", &length), 0u);
        EXPECT_EQ(length, k.storedLength);
        EXPECT_EQ(table.FieldNamed("Note").IsNull(), k.null);
    }
}

// Default values of new records come from the dictionary, by field name in
// any case; a table opened by its file name, or a field without one, has
// none.
TEST(EditDefaults, ANewRecordTakesItsDictionaryDefaultsOrNamesTheFieldThatRefusedOne) {
    struct Case {
        const char* value;
        const char* message;  // none: the default is taken
    };
    const Case cases[] = {
        {"5", nullptr},
        {"99999999999", "tblD: Error setting default field value. (Count)\r\nNumeric out of range:99999999999"},
        {"abc", "tblD: Error setting default field value. (Count)\r\n'abc' is not a valid integer value"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.value);
        TempDir dir;
        BuildTable(dir);
        {
            auto dd = lce::Dictionary::create(dir.path("D.LDD"));
            dd.addUser("clerk", "secret");
            dd.addTable({"E", "E.LDT", lce::kLdt, {}});
            dd.setFieldProperty("E", "COUNT", LUM_DD_FIELD_DEFAULT, k.value);
        }
        lum::TLumConnection connection;
        connection.SetConnectPath(dir.path() + "\\D.LDD");
        connection.SetUsername("clerk");
        connection.SetPassword("secret");
        connection.SetLoginPrompt(false);
        lum::TLumTable table;
        table.SetName("tblD");
        table.SetLumConnection(&connection);
        table.SetTableName("E");
        table.SetActive(true);
        if (k.message == nullptr) {
            table.Append();
            EXPECT_EQ(table.FieldNamed("Count").ValueAsInteger(), 5);
            EXPECT_TRUE(table.FieldNamed("Note").IsNull());
            EXPECT_FALSE(table.Modified());
            table.FieldNamed("Name").SetValueAsText("N");
            table.Post();
            EXPECT_EQ(table.FieldNamed("Count").ValueAsInteger(), 5);  // written with the record
        } else {
            const lum::ELUMDatabaseError e = Failure([&] { table.Append(); });
            EXPECT_EQ(e.Message(), k.message);
            EXPECT_EQ(e.EngineErrorCode, 0u);
            EXPECT_EQ(table.State(), fw::TDataSetState::dsBrowse);
        }
        // The same file opened by its name on a free connection: no default.
        lum::TLumConnection free;
        free.SetConnectPath(dir.path());
        lum::TLumTable byFile;
        byFile.SetLumConnection(&free);
        byFile.SetTableName("E.LDT");
        byFile.SetActive(true);
        byFile.Append();
        EXPECT_TRUE(byFile.FieldNamed("Count").IsNull());
        byFile.Cancel();
    }
}

TEST_F(EditTable, WritesOutsideEditingAndOnReadOnlyTablesAreRefused) {
    Open();
    try {
        table.FieldNamed("Count").SetValueAsInteger(3);
        FAIL() << "no exception";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "tblE: Dataset not in edit mode");
    }
    // A pending edit is dropped when the connection asks (before a rollback).
    table.Edit();
    table.FieldNamed("Count").SetValueAsInteger(3);
    table.CancelPendingEdit();
    EXPECT_EQ(table.State(), fw::TDataSetState::dsBrowse);
    EXPECT_EQ(table.FieldNamed("Count").ValueAsInteger(), 1);
    table.SetActive(false);
    table.SetReadOnly(true);
    table.SetActive(true);
    EXPECT_FALSE(table.CanModify());
    try {
        table.Edit();
        FAIL() << "no exception";
    } catch (const fw::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "tblE: Cannot modify a read-only dataset");
    }
}

}  // namespace
}  // namespace lumtest
