// Memo and binary values through the access layer: a text of more than a
// mebibyte and bytes with zero bytes in them written through fields and
// streams (at offsets), posted, and read back after reopening on every table
// type; a cancelled change leaves the stored value; the streams' refusals.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "data/engine/record_format.h"
#include "data/lum/blob_stream.h"
#include "data/lum/errors.h"
#include "tests/lum/fixture.h"
#include "tests/lum/table_cases.h"

namespace lumtest {
namespace {

using lce::Value;

// 1.5 MiB of text that differs at every position a piece boundary could hide.
std::string LargeText() {
    std::string text;
    text.reserve(3u << 19);
    for (std::size_t i = 0; text.size() < (3u << 19); ++i) text += "line " + std::to_string(i) + " of the notes\r\n";
    return text;
}

// Bytes with zero bytes at the start, in the middle and at the end.
std::string BinaryValue() {
    std::string bytes;
    for (int i = 0; i < 70000; ++i) bytes.push_back(static_cast<char>(i % 251));
    bytes[0] = '\0';
    bytes.back() = '\0';
    return bytes;
}

// The memo and binary column types a table type allows.
std::vector<std::uint16_t> BlobTypes(std::uint16_t tableType) {
    std::vector<std::uint16_t> types;
    for (std::uint16_t t : {LUM_MEMO, LUM_BINARY, LUM_IMAGE, LUM_VARCHAR_MEMO})
        if (record_format::TypeAllowed(tableType, t)) types.push_back(t);
    return types;
}

std::string BlobName(std::uint16_t type) { return "B" + std::to_string(type); }
bool IsText(std::uint16_t type) { return type == LUM_MEMO || type == LUM_VARCHAR_MEMO; }

// T.LDT: "Id" and one column per blob type, record 1 with short values,
// record 2 with nulls.
void BuildBlobTable(const TempDir& dir, const TableCase& t) {
    lce::TableSchema schema;
    schema.tableType = t.tableType;
    lce::ColumnDef id;
    id.name = "Id";
    id.type = LUM_INTEGER;
    id.nullable = t.nullable;
    schema.columns.push_back(id);
    lce::Row values{Value::ofInteger(1)}, nulls{Value::ofInteger(2)};
    for (std::uint16_t type : BlobTypes(t.tableType)) {
        lce::ColumnDef def;
        def.name = BlobName(type);
        def.type = type;
        def.nullable = t.nullable;
        schema.columns.push_back(def);
        values.push_back(IsText(type) ? Value::ofMemo("short") : Value::ofBinary(std::string("a\0b", 3)));
        nulls.push_back(Value::null());
    }
    auto file = lce::TableFile::create(dir.path("T.LDT"), schema);
    file.append(values);
    file.append(nulls);
}

struct BlobTable {
    BlobTable(const TempDir& dir, lum::TLumTableTypes type) {
        connection.SetConnectPath(dir.path());
        table.SetName("tblBlob");
        table.SetLumConnection(&connection);
        table.SetTableName("T.LDT");
        table.SetTableType(type);
    }
    lum::TLumConnection connection;
    lum::TLumTable table;
};

fw::TBlobField& BlobField(lum::TLumTable& table, std::uint16_t type) {
    return dynamic_cast<fw::TBlobField&>(table.FieldNamed(BlobName(type)));
}

// Writes `bytes` through a stream in three parts, the last two written
// before the first (seeking to their offsets).
void WriteInParts(fw::TBlobField& field, const std::string& bytes) {
    const auto stream = field.OpenStream(fw::TBlobStreamMode::bmWrite);
    const std::size_t third = bytes.size() / 3;
    stream->Seek(static_cast<std::int64_t>(third), fw::TSeekOrigin::soBeginning);
    stream->Write(bytes.data() + third, bytes.size() - 2 * third);
    stream->Write(bytes.data() + bytes.size() - third, third);
    stream->Seek(0, fw::TSeekOrigin::soBeginning);
    stream->Write(bytes.data(), third);
    EXPECT_EQ(stream->Size(), bytes.size());
}

TEST(Blobs, LargeTextAndBinaryValuesRoundTripOnEveryTableType) {
    const std::string text = LargeText();
    const std::string binary = BinaryValue();
    ASSERT_GT(text.size(), 1u << 20);
    for (const TableCase& t : tableCases) {
        SCOPED_TRACE(std::string(1, t.letter));
        TempDir dir;
        BuildBlobTable(dir, t);
        const std::vector<std::uint16_t> types = BlobTypes(t.tableType);
        ASSERT_FALSE(types.empty());
        const auto valueFor = [&](std::uint16_t type) { return IsText(type) ? text : binary; };
        {
            BlobTable disk(dir, t.openAs);
            lum::TLumTable& table = disk.table;
            table.SetActive(true);
            table.MoveToFirst();
            for (std::uint16_t type : types) {
                SCOPED_TRACE(BlobName(type));
                EXPECT_EQ(BlobField(table, type).ValueAsText(), IsText(type) ? "short" : std::string("a\0b", 3));
            }
            // Record 1 through the field, record 2 (nulls) through streams in parts.
            table.Edit();
            for (std::uint16_t type : types) BlobField(table, type).SetValueAsText(valueFor(type));
            EXPECT_EQ(BlobField(table, types.front()).ValueAsText(), valueFor(types.front())) << "while editing";
            table.Post();
            table.MoveToNext();
            for (std::uint16_t type : types) EXPECT_TRUE(BlobField(table, type).IsNull()) << BlobName(type);
            table.Edit();
            for (std::uint16_t type : types) WriteInParts(BlobField(table, type), valueFor(type));
            table.Post();
            // A new record with the values, and one whose value is cleared again.
            table.Append();
            table.FieldNamed("Id").SetValueAsInteger(3);
            for (std::uint16_t type : types) BlobField(table, type).SetValueAsVariant(fw::Variant(valueFor(type)));
            table.Post();
            table.Append();
            table.FieldNamed("Id").SetValueAsInteger(4);
            for (std::uint16_t type : types) {
                BlobField(table, type).SetValueAsText("gone");
                BlobField(table, type).Clear();
            }
            table.Post();
            table.SetActive(false);
        }
        BlobTable disk(dir, t.openAs);
        lum::TLumTable& table = disk.table;
        table.SetActive(true);
        int records = 0;
        for (table.MoveToFirst(); !table.AtEnd(); table.MoveToNext()) {
            ++records;
            const std::int32_t id = table.FieldNamed("Id").ValueAsInteger();
            SCOPED_TRACE("record " + std::to_string(id));
            for (std::uint16_t type : types) {
                SCOPED_TRACE(BlobName(type));
                fw::TBlobField& field = BlobField(table, type);
                if (id == 4) {
                    EXPECT_TRUE(field.IsNull());
                    EXPECT_TRUE(field.ValueAsVariant().IsNull());
                    continue;
                }
                const std::string& want = valueFor(type);
                EXPECT_EQ(field.BlobSize(), want.size());
                EXPECT_TRUE(field.ValueAsBytes() == want);
                // Reading from an offset.
                const auto stream = field.OpenStream(fw::TBlobStreamMode::bmRead);
                const std::size_t offset = want.size() - 100;
                stream->Seek(-100, fw::TSeekOrigin::soEnd);
                std::string tail(200, 'x');
                tail.resize(stream->Read(tail.data(), tail.size()));
                EXPECT_EQ(tail, want.substr(offset));
            }
        }
        EXPECT_EQ(records, 4);
    }
}

TEST(Blobs, ACancelledChangeLeavesTheStoredValue) {
    TempDir dir;
    BuildBlobTable(dir, tableCases[2]);
    BlobTable disk(dir, lum::TLumTableTypes::ttLumLDT);
    lum::TLumTable& table = disk.table;
    table.SetActive(true);
    table.MoveToFirst();
    fw::TBlobField& memo = BlobField(table, LUM_MEMO);
    table.Edit();
    memo.SetValueAsText("changed");
    EXPECT_TRUE(table.Modified());
    EXPECT_EQ(memo.ValueAsText(), "changed");
    EXPECT_EQ(memo.OldValue().AsString(), "short");
    memo.Clear();
    EXPECT_TRUE(memo.IsNull()) << "a changed value without bytes is null";
    table.Cancel();
    EXPECT_EQ(memo.ValueAsText(), "short");
    table.SetActive(false);
    table.SetActive(true);
    table.MoveToFirst();
    EXPECT_EQ(BlobField(table, LUM_MEMO).ValueAsText(), "short");
}

// A link that keeps a window of five records, so the engine stands on the
// window's last record while the first is the active one.
class FiveRecords : public fw::TDataLink {
public:
    std::size_t BufferCount() const override { return 5; }
};

TEST(Blobs, EachRecordOfAWindowReadsItsOwnValue) {
    TempDir dir;
    lce::TableSchema schema;
    schema.tableType = LUM_LDT;
    lce::ColumnDef memo;
    memo.name = "M";
    memo.type = LUM_MEMO;
    schema.columns = {memo};
    {
        auto file = lce::TableFile::create(dir.path("T.LDT"), schema);
        for (int i = 1; i <= 4; ++i) file.append({Value::ofMemo("memo " + std::to_string(i))});
    }
    BlobTable disk(dir, lum::TLumTableTypes::ttLumLDT);
    lum::TLumTable& table = disk.table;
    fw::TDataSource source;
    source.SetDataSet(&table);
    FiveRecords window;
    window.SetDataSource(&source);
    table.SetActive(true);
    std::vector<std::string> forward, backward;
    for (table.MoveToFirst(); !table.AtEnd(); table.MoveToNext())
        forward.push_back(table.FieldNamed("M").ValueAsText());
    for (table.MoveToLast(); !table.AtBeginning(); table.MoveToPrior())
        backward.push_back(table.FieldNamed("M").ValueAsText());
    EXPECT_EQ(forward, (std::vector<std::string>{"memo 1", "memo 2", "memo 3", "memo 4"}));
    EXPECT_EQ(backward, (std::vector<std::string>{"memo 4", "memo 3", "memo 2", "memo 1"}));
    window.SetDataSource(nullptr);
}

// Each refusal with its text, its code and whether it names the dataset.
TEST(Blobs, StreamsRefuseWithTheLayersMessages) {
    TempDir dir;
    BuildBlobTable(dir, tableCases[2]);
    BlobTable disk(dir, lum::TLumTableTypes::ttLumLDT);
    lum::TLumTable& table = disk.table;
    table.SetActive(true);
    table.MoveToFirst();
    fw::TField& memo = table.FieldNamed(BlobName(LUM_MEMO));
    fw::TField& id = table.FieldNamed("Id");
    std::unique_ptr<fw::TStream> reading;
    std::unique_ptr<fw::TStream> writing;
    struct Case {
        const char* label;
        std::function<void()> act;
        std::string message;
    };
    const Case cases[] = {
        {"write mode in browse", [&] { table.CreateBlobStream(memo, fw::TBlobStreamMode::bmWrite); },
         "tblBlob: Table must be in Edit or Insert state to open blob stream in Write Mode."},
        {"read-write mode in browse", [&] { table.CreateBlobStream(memo, fw::TBlobStreamMode::bmReadWrite); },
         "tblBlob: Table must be in Edit or Insert state to open blob stream in Write Mode."},
        {"an integer field", [&] { table.CreateBlobStream(id, fw::TBlobStreamMode::bmRead); },
         "tblBlob: Invalid blob open on non-blob field."},
        {"writing a read stream",
         [&] {
             reading = table.CreateBlobStream(memo, fw::TBlobStreamMode::bmRead);
             reading->Write("x", 1);
         },
         "Error modifying read only blob."},
        {"writing after the edit ended",
         [&] {
             table.Edit();
             writing = table.CreateBlobStream(memo, fw::TBlobStreamMode::bmReadWrite);
             writing->Write("x", 1);
             table.Cancel();
             writing->Write("y", 1);
         },
         "Cannot write to blob in current state."},
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
    // Nothing was changed by the refused and cancelled writes.
    EXPECT_EQ(table.State(), fw::TDataSetState::dsBrowse);
    EXPECT_EQ(memo.ValueAsText(), "short");
}

}  // namespace
}  // namespace lumtest
