// The user's own scope (Scoped, ScopeBegin, ScopeEnd) at open and on an open
// table, its refusals, its end when the index changes, its exclusion of
// ranges, and the editing of a range's keys (EditRangeStart, EditRangeEnd).
#include <functional>

#include "data/lum/errors.h"
#include "tests/lum/fixture.h"

namespace lumtest {
namespace {

using lce::Value;

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const fw::Exception& e) {
        return e.Message();
    }
    return "<nothing raised>";
}

// S.LDT: Code and Name, records (B1 Beta), (A1 Alpha), (B2 Gamma), (C1 Delta),
// indexes BYCODE and BYNAME.
void BuildScopeTable(const TempDir& dir) {
    lce::TableSchema schema;
    lce::ColumnDef code, name;
    code.name = "Code";
    code.type = LUM_STRING;
    code.length = 6;
    name.name = "Name";
    name.type = LUM_STRING;
    name.length = 10;
    schema.columns = {code, name};
    lce::IndexDef byCode, byName;
    byCode.name = "BYCODE";
    byCode.fields = {"Code"};
    byName.name = "BYNAME";
    byName.fields = {"Name"};
    schema.indexes = {byCode, byName};
    auto file = lce::TableFile::create(dir.path("S.LDT"), schema);
    file.append({Value::ofText("B1"), Value::ofText("Beta")});
    file.append({Value::ofText("A1"), Value::ofText("Alpha")});
    file.append({Value::ofText("B2"), Value::ofText("Gamma")});
    file.append({Value::ofText("C1"), Value::ofText("Delta")});
}

struct ScopeTable {
    explicit ScopeTable(const TempDir& dir) {
        BuildScopeTable(dir);
        connection.SetConnectPath(dir.path());
        table.SetName("tblScope");
        table.SetLumConnection(&connection);
        table.SetTableName("S.LDT");
    }
    // The codes the table shows, in order; the active record is left on the last.
    std::vector<std::string> Codes() {
        std::vector<std::string> codes;
        for (table.MoveToFirst(); !table.AtEnd(); table.MoveToNext())
            codes.push_back(table.FieldNamed("Code").ValueAsText());
        return codes;
    }
    std::string Code() { return table.FieldNamed("Code").ValueAsText(); }
    void MoveTo(const std::string& code) {
        for (table.MoveToFirst(); !table.AtEnd() && Code() != code;) table.MoveToNext();
        ASSERT_EQ(Code(), code);
    }
    lum::TLumConnection connection;
    lum::TLumTable table;
};

using Codes = std::vector<std::string>;

TEST(UserScope, KeepsNavigationWithinTheTextsFromTheOpenOn) {
    struct Case {
        const char* begin;
        const char* end;
        Codes codes;
    };
    const Case cases[] = {
        {"B", "B", {"B1", "B2"}},
        {"", "B", {"A1", "B1", "B2"}},
        {"B1", "", {"B1", "B2", "C1"}},
        {"B2", "B2", {"B2"}},
        {"D", "", {}},
        {"", "", {"A1", "B1", "B2", "C1"}},
        {"A", "C1", {"A1", "B1", "B2", "C1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.begin) + ".." + c.end);
        TempDir dir;
        ScopeTable s(dir);
        s.table.SetIndexName("BYCODE");
        s.table.SetScopeBegin(c.begin);
        s.table.SetScopeEnd(c.end);
        s.table.SetScoped(true);
        s.table.SetActive(true);
        EXPECT_TRUE(s.table.Scoped());
        EXPECT_EQ(s.Codes(), c.codes);
    }
}

TEST(UserScope, WithoutAnIndexTheOpenFails) {
    TempDir dir;
    ScopeTable s(dir);
    s.table.SetScopeBegin("B");
    s.table.SetScoped(true);
    EXPECT_EQ(MessageOf([&] { s.table.SetActive(true); }),
              "tblScope: Cannot activate scope when there is no active index.");
    EXPECT_FALSE(s.table.Active());
    // In natural order an open table refuses it as well and stays unscoped.
    s.table.SetScoped(false);
    s.table.SetActive(true);
    EXPECT_EQ(MessageOf([&] { s.table.SetScoped(true); }),
              "tblScope: Cannot activate scope when there is no active index.");
    EXPECT_FALSE(s.table.Scoped());
    EXPECT_EQ(s.Codes(), (Codes{"B1", "A1", "B2", "C1"}));
}

TEST(UserScope, OnAnOpenTableKeepsTheCurrentRecordWhereItCan) {
    TempDir dir;
    ScopeTable s(dir);
    s.table.SetIndexName("BYCODE");
    s.table.SetScopeBegin("B");
    s.table.SetScopeEnd("B");
    s.table.SetActive(true);
    s.MoveTo("B2");
    s.table.SetScoped(true);
    EXPECT_EQ(s.Code(), "B2");  // inside the scope: stays
    s.table.MoveToPrior();
    EXPECT_EQ(s.Code(), "B1");
    s.table.MoveToPrior();
    EXPECT_TRUE(s.table.AtBeginning());
    EXPECT_EQ(s.Codes(), (Codes{"B1", "B2"}));
    s.MoveTo("B1");
    s.table.SetScoped(false);
    EXPECT_EQ(s.Code(), "B1");  // the same record, now among all
    s.table.MoveToPrior();
    EXPECT_EQ(s.Code(), "A1");
    s.MoveTo("C1");
    s.table.SetScoped(true);
    EXPECT_EQ(s.Code(), "B1");  // outside the scope: the first in it
    // Only the bottom set: clearing the absent top is no failure.
    s.table.SetScoped(false);
    s.table.SetScopeBegin("");
    s.table.SetScoped(true);
    EXPECT_EQ(s.Codes(), (Codes{"A1", "B1", "B2"}));
    s.table.SetScoped(false);
    EXPECT_FALSE(s.table.Scoped());
    EXPECT_EQ(s.Codes(), (Codes{"A1", "B1", "B2", "C1"}));
}

TEST(UserScope, TextsBeyondTheLimitAreRefused) {
    TempDir dir;
    ScopeTable s(dir);
    const std::string longest(4082, 'B');
    const std::string tooLong(4083, 'B');
    struct Case {
        const char* label;
        std::function<void(const std::string&)> set;
        std::function<std::string()> get;
    };
    const Case cases[] = {
        {"begin", [&](const std::string& t) { s.table.SetScopeBegin(t); }, [&] { return s.table.ScopeBegin(); }},
        {"end", [&](const std::string& t) { s.table.SetScopeEnd(t); }, [&] { return s.table.ScopeEnd(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        c.set("B");
        EXPECT_EQ(MessageOf([&] { c.set(tooLong); }), "tblScope: Scope text length exceeded 4082");
        EXPECT_EQ(c.get(), "B");
        c.set(longest);
        EXPECT_EQ(c.get(), longest);
    }
    // The engine gets the longest text whole: "B1" and "B2" lie below it.
    s.table.SetIndexName("BYCODE");
    s.table.SetScopeEnd("");
    s.table.SetScoped(true);
    s.table.SetActive(true);
    EXPECT_EQ(s.Codes(), (Codes{"C1"}));
}

TEST(UserScope, ChoosingAnotherIndexSwitchesItOff) {
    struct Case {
        const char* label;
        std::function<void(lum::TLumTable&)> choose;
        Codes codes;
    };
    const Case cases[] = {
        {"IndexFieldNames", [](lum::TLumTable& t) { t.SetIndexFieldNames("Name"); }, {"A1", "B1", "C1", "B2"}},
        {"IndexName", [](lum::TLumTable& t) { t.SetIndexName("BYNAME"); }, {"A1", "B1", "C1", "B2"}},
        {"natural order", [](lum::TLumTable& t) { t.SetIndexName(""); }, {"B1", "A1", "B2", "C1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        ScopeTable s(dir);
        s.table.SetIndexName("BYCODE");
        s.table.SetScopeBegin("B");
        s.table.SetScopeEnd("B");
        s.table.SetScoped(true);
        s.table.SetActive(true);
        c.choose(s.table);
        EXPECT_FALSE(s.table.Scoped());
        EXPECT_EQ(s.Codes(), c.codes);
    }
}

TEST(UserScope, AndARangeExcludeEachOther) {
    TempDir dir;
    ScopeTable s(dir);
    s.table.SetIndexName("BYCODE");
    s.table.SetActive(true);
    s.table.EditRangeStart();
    s.table.FieldNamed("Code").SetValueAsText("B1");
    s.table.EditRangeEnd();
    s.table.FieldNamed("Code").SetValueAsText("B2");
    s.table.ApplyRange();
    EXPECT_EQ(s.Codes(), (Codes{"B1", "B2"}));
    s.table.SetScopeBegin("A");
    EXPECT_EQ(MessageOf([&] { s.table.SetScoped(true); }),
              "tblScope: Cannot activate scope when there is an active range.");
    EXPECT_FALSE(s.table.Scoped());
    EXPECT_EQ(s.Codes(), (Codes{"B1", "B2"}));
    s.table.CancelRange();
    s.table.SetScoped(true);
    EXPECT_EQ(s.Codes(), (Codes{"A1", "B1", "B2", "C1"}));
    // A range over the scope is refused; the scope and the position stay.
    s.MoveTo("B2");
    s.table.EditRangeStart();
    s.table.FieldNamed("Code").SetValueAsText("C1");
    EXPECT_EQ(MessageOf([&] { s.table.ApplyRange(); }),
              "tblScope: Cannot set range on table when there is an active scope.");
    EXPECT_TRUE(s.table.Scoped());
    EXPECT_EQ(s.table.State(), fw::TDataSetState::dsBrowse);
    EXPECT_EQ(s.Code(), "B2");
}

TEST(UserScope, RefusesEveryMasterChange) {
    TempDir dir;
    ScopeTable s(dir);
    {
        lce::TableSchema schema;
        lce::ColumnDef code;
        code.name = "Code";
        code.type = LUM_STRING;
        code.length = 6;
        schema.columns = {code};
        auto file = lce::TableFile::create(dir.path("M.LDT"), schema);
        file.append({Value::ofText("B2")});
        file.append({Value::ofText("C1")});
    }
    lum::TLumTable master;
    master.SetLumConnection(&s.connection);
    master.SetTableName("M.LDT");
    master.SetActive(true);
    fw::TDataSource source;
    source.SetDataSet(&master);
    s.table.SetIndexName("BYCODE");
    s.table.SetScopeBegin("A");
    s.table.SetScoped(true);
    s.table.SetActive(true);
    s.MoveTo("B1");
    s.table.SetMasterSource(&source);
    s.table.SetMasterFields("Code");
    for (const auto& move :
         {std::function<void()>([&] { master.MoveToFirst(); }), std::function<void()>([&] { master.MoveToNext(); })}) {
        EXPECT_EQ(MessageOf(move), "tblScope: Cannot set range on table when there is an active scope.");
        EXPECT_TRUE(s.table.Scoped());
        EXPECT_EQ(s.Code(), "B1");
    }
    s.table.SetMasterSource(nullptr);
    EXPECT_EQ(s.Codes(), (Codes{"A1", "B1", "B2", "C1"}));
}

TEST(RangeEditing, EditsTheKeysOfTheActiveIndex) {
    TempDir dir;
    ScopeTable s(dir);
    s.table.SetActive(true);
    EXPECT_EQ(MessageOf([&] { s.table.EditRangeStart(); }), "tblScope: Index is not set.");
    EXPECT_EQ(MessageOf([&] { s.table.EditRangeEnd(); }), "tblScope: Index is not set.");
    EXPECT_EQ(s.table.State(), fw::TDataSetState::dsBrowse);
    s.table.SetIndexName("BYCODE");
    s.table.EditRangeStart();
    EXPECT_EQ(s.table.State(), fw::TDataSetState::dsSetKey);
    EXPECT_TRUE(s.table.Modified());
    EXPECT_EQ(MessageOf([&] { s.table.FieldNamed("Name").SetValueAsText("Beta"); }),
              "Field 'Name' is not indexed and cannot be modified");
    s.table.FieldNamed("Code").SetValueAsText("B2");
    EXPECT_EQ(s.table.FieldNamed("Code").ValueAsText(), "B2");  // the key's value
    // Cancelled, the key is as it was: no range.
    s.table.Cancel();
    EXPECT_EQ(s.table.State(), fw::TDataSetState::dsBrowse);
    s.table.ApplyRange();
    EXPECT_EQ(s.Codes(), (Codes{"A1", "B1", "B2", "C1"}));
    // A start alone leaves the end open.
    s.table.EditRangeStart();
    s.table.FieldNamed("Code").SetValueAsText("B2");
    s.table.ApplyRange();
    EXPECT_EQ(s.Codes(), (Codes{"B2", "C1"}));
    s.table.CancelRange();
    EXPECT_EQ(s.Codes(), (Codes{"A1", "B1", "B2", "C1"}));
}

TEST(RangeEditing, SegmentsNameTheirFieldNumbers) {
    TempDir dir;
    ScopeTable s(dir);
    s.table.SetActive(true);
    EXPECT_EQ(MessageOf([&] { s.table.GetSegmentFieldNum(0); }),
              "tblScope: Internal Error: GetSegmentFieldNum : No Active Index");
    s.table.SetIndexName("BYNAME");
    EXPECT_EQ(s.table.GetSegmentFieldNum(0), 2);
    s.table.SetIndexName("BYCODE");
    EXPECT_EQ(s.table.GetSegmentFieldNum(0), 1);
    try {
        s.table.GetSegmentFieldNum(1);
        ADD_FAILURE() << "a segment the index lacks was answered";
    } catch (const lum::ELUMDatabaseError& e) {
        EXPECT_EQ(e.EngineErrorCode, static_cast<std::uint32_t>(LUM_ERR_INDEX_NOT_FOUND));
    }
}

TEST(UserScope, IsAStoredProperty) {
    TempDir dir;
    ScopeTable s(dir);
    s.table.SetStoredProperty("IndexName", std::string("BYCODE"));
    s.table.SetStoredProperty("ScopeBegin", std::string("B"));
    s.table.SetStoredProperty("ScopeEnd", std::string("B"));
    s.table.SetStoredProperty("Scoped", true);
    s.table.SetActive(true);
    EXPECT_EQ(s.Codes(), (Codes{"B1", "B2"}));
}

}  // namespace
}  // namespace lumtest
