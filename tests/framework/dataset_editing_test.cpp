// Editing through the generic dataset, over records held in memory: the
// order of events, hooks and link notices; where new records go; what each
// state allows; and that a failure anywhere on the way leaves the dataset as
// it was before the failing call.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "tests/framework/memory_dataset.h"

namespace memtest {
namespace {

using fw::TDataSet;
using fw::TDataSetState;

// The message of the EDatabaseError (or conversion error) a step raises; "" when it raises none.
std::string Failure(const std::function<void()>& step) {
    try {
        step();
    } catch (const fw::Exception& e) {
        return e.Message();
    }
    return "";
}

// Only the entries that are not link notices.
Log Hooks(const Log& log) {
    Log hooks;
    for (const std::string& entry : log)
        if (entry.rfind("link:", 0) != 0) hooks.push_back(entry);
    return hooks;
}

TEST(DataSetEditing, EditAndPostInOrderOfEventsHooksAndLinks) {
    Watched w(Numbered(3));
    w.data.Trace();
    w.data.Open();
    w.data.MoveToNext();
    w.data.log.clear();

    w.data.Edit();
    EXPECT_EQ(w.data.State(), TDataSetState::dsEdit);
    EXPECT_FALSE(w.data.Modified());
    w.data.FieldNamed("NAME").SetValueAsText("changed");
    EXPECT_TRUE(w.data.Modified());
    EXPECT_EQ(w.data.FieldNamed("NAME").ValueAsText(), "changed");
    EXPECT_EQ(w.data.Stored()[1].name, "r2");  // not stored before Post
    w.data.Post();

    EXPECT_EQ(w.data.log, (Log{"link:check", "BeforeEdit", "InternalEdit", "link:editing", "link:record", "AfterEdit",
                               "link:field:NAME", "link:update", "link:check", "BeforePost", "InternalPost",
                               "link:browsing", "link:changed", "AfterPost"}));
    EXPECT_EQ(w.data.State(), TDataSetState::dsBrowse);
    EXPECT_FALSE(w.data.Modified());
    EXPECT_EQ(w.data.Stored()[1], (Row{2, "changed", 2.5}));
    EXPECT_EQ(w.data.CurrentId(), 2);
}

TEST(DataSetEditing, InsertAppendCancelAndDeleteInOrderOfEventsAndHooks) {
    struct Case {
        const char* name;
        std::function<void(Memory&)> steps;
        Log hooks;
    };
    const Case cases[] = {
        {"insert and post",
         [](Memory& d) {
             d.Insert();
             d.FieldNamed("ID").SetValueAsInteger(9);
             d.Post();
         },
         {"BeforeInsert", "BeforeScroll", "InternalInsert", "OnNewRecord", "AfterInsert", "AfterScroll", "BeforePost",
          "InternalPost", "AfterPost"}},
        {"append and cancel",
         [](Memory& d) {
             d.Append();
             d.Cancel();
         },
         {"BeforeInsert", "BeforeScroll", "InternalInsert", "OnNewRecord", "AfterInsert", "AfterScroll", "BeforeCancel",
          "BeforeScroll", "InternalCancel", "AfterCancel", "AfterScroll"}},
        {"edit and cancel: no scroll",
         [](Memory& d) {
             d.Edit();
             d.Cancel();
         },
         {"BeforeEdit", "InternalEdit", "AfterEdit", "BeforeCancel", "InternalCancel", "AfterCancel"}},
        {"delete",
         [](Memory& d) { d.Delete(); },
         {"BeforeDelete", "BeforeScroll", "InternalDelete", "AfterDelete", "AfterScroll"}},
        {"delete while inserting cancels",
         [](Memory& d) {
             d.Insert();
             d.log.clear();
             d.Delete();
         },
         {"BeforeCancel", "BeforeScroll", "InternalCancel", "AfterCancel", "AfterScroll"}},
        {"insert record",
         [](Memory& d) {
             d.InsertRecord({9, "new"});
         },
         {"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "BeforePost", "InternalAddRecord(insert)",
          "AfterPost", "AfterScroll"}},
        {"a second Edit does nothing",
         [](Memory& d) {
             d.Edit();
             d.Edit();
         },
         {"BeforeEdit", "InternalEdit", "AfterEdit"}},
        {"Cancel in browse does nothing", [](Memory& d) { d.Cancel(); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Memory d(Numbered(3));
        d.Trace();
        d.Open();
        d.log.clear();
        c.steps(d);
        EXPECT_EQ(d.log, c.hooks);
    }
}

// Where new records go and which record is current afterwards, with windows
// of one and of several buffers (inserting shifts the buffers of a window).
TEST(DataSetEditing, NewRecordsGoWhereTheyWereAskedForAndRemovingKeepsANeighbourCurrent) {
    struct Case {
        const char* name;
        int start;  // records moved from the first before the steps
        std::function<void(Memory&)> steps;
        std::vector<std::int32_t> stored;
        std::int32_t current;
    };
    const auto insertId = [](std::int32_t id) {
        return [id](Memory& d) {
            d.Insert();
            d.FieldNamed("ID").SetValueAsInteger(id);
            d.Post();
        };
    };
    const Case cases[] = {
        {"insert goes before the current record", 1, insertId(9), {1, 9, 2, 3, 4}, 9},
        {"insert at the first record", 0, insertId(9), {9, 1, 2, 3, 4}, 9},
        {"insert at the last record", 3, insertId(9), {1, 2, 3, 9, 4}, 9},
        {"append goes after the last record",
         1,
         [](Memory& d) {
             d.Append();
             d.FieldNamed("ID").SetValueAsInteger(9);
             d.Post();
         },
         {1, 2, 3, 4, 9},
         9},
        {"insert record",
         2,
         [](Memory& d) {
             d.InsertRecord({9, "n"});
         },
         {1, 2, 9, 3, 4},
         9},
        {"append record", 0, [](Memory& d) { d.AppendRecord({9}); }, {1, 2, 3, 4, 9}, 9},
        {"cancelled insert: back on the record it was to go before",
         2,
         [](Memory& d) {
             d.Insert();
             d.Cancel();
         },
         {1, 2, 3, 4},
         3},
        {"cancelled append: on the last record",
         0,
         [](Memory& d) {
             d.Append();
             d.Cancel();
         },
         {1, 2, 3, 4},
         4},
        {"delete: the next record becomes current", 1, [](Memory& d) { d.Delete(); }, {1, 3, 4}, 3},
        {"delete the last: the one before it becomes current", 3, [](Memory& d) { d.Delete(); }, {1, 2, 3}, 3},
        {"delete while editing removes the edited record",
         2,
         [](Memory& d) {
             d.Edit();
             d.FieldNamed("NAME").SetValueAsText("x");
             d.Delete();
         },
         {1, 2, 4},
         4},
        {"edit of an empty dataset inserts",
         -1,
         [](Memory& d) {
             d.Edit();
             EXPECT_EQ(d.State(), TDataSetState::dsInsert);
             d.FieldNamed("ID").SetValueAsInteger(9);
             d.Post();
         },
         {9},
         9},
        {"insert into an empty dataset", -1, insertId(9), {9}, 9},
    };
    for (const std::size_t window : {1u, 3u}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", window " + std::to_string(window));
            Watched w(c.start < 0 ? std::vector<Row>{} : Numbered(4), window);
            w.data.Open();
            w.data.MoveBy(c.start);
            c.steps(w.data);
            EXPECT_EQ(w.data.State(), TDataSetState::dsBrowse);
            EXPECT_EQ(w.data.StoredIds(), c.stored);
            EXPECT_EQ(w.data.CurrentId(), c.current);
            // The window reads on in stored order from the current record.
            std::vector<std::int32_t> rest;
            for (; !w.data.AtEnd(); w.data.MoveToNext())
                if (rest.empty() || rest.back() != w.data.CurrentId()) rest.push_back(w.data.CurrentId());
            const auto from = std::find(c.stored.begin(), c.stored.end(), c.current);
            EXPECT_EQ(rest, std::vector<std::int32_t>(from, c.stored.end()));
        }
    }
}

TEST(DataSetEditing, InsertRecordWritesTheValuesGivenAndLeavesEmptyOnesAsTheNewRecordHasThem) {
    Memory d(Numbered(1));
    d.OnNewRecord = [](TDataSet& ds) { ds.FieldNamed("NAME").SetValueAsText("default"); };
    d.Open();
    d.AppendRecord({7, fw::Variant(), 1.25});
    d.AppendRecord({8, fw::Variant::Null()});
    EXPECT_EQ(d.Stored()[1], (Row{7, "default", 1.25}));
    EXPECT_EQ(d.Stored()[2], (Row{8, std::nullopt, std::nullopt}));
    EXPECT_EQ(Failure([&] { d.InsertRecord({1, "a", 2.0, 3}); }), "mem: 4 values given for a record of 3 fields");
    EXPECT_EQ(d.StoredIds(), (std::vector<std::int32_t>{1, 7, 8}));
}

// What each state refuses, with the framework's messages; a refused call
// changes nothing.
TEST(DataSetEditing, StateChecksRefuseWithTheFrameworksMessages) {
    struct Case {
        const char* name;
        std::function<void(Memory&)> setup;
        std::function<void(Memory&)> action;
        std::string message;
        TDataSetState state;  // afterwards
    };
    const auto none = [](Memory&) {};
    const auto readOnly = [](Memory& d) { d.writable = false; };
    const auto edit = [](Memory& d) { d.Edit(); };
    const auto setName = [](Memory& d) { d.FieldNamed("NAME").SetValueAsText("x"); };
    const TDataSetState browse = TDataSetState::dsBrowse;
    const std::string closed = "mem: Cannot perform this operation on a closed dataset";
    const std::string notEditing = "mem: Dataset not in edit mode";
    const std::string readOnlyData = "mem: Cannot modify a read-only dataset";
    const Case cases[] = {
        {"edit a closed dataset", [](Memory& d) { d.Close(); }, edit, closed, TDataSetState::dsInactive},
        {"post on a closed dataset", [](Memory& d) { d.Close(); }, [](Memory& d) { d.Post(); }, closed,
         TDataSetState::dsInactive},
        {"write a field of a closed dataset", [](Memory& d) { d.Close(); }, setName, notEditing,
         TDataSetState::dsInactive},
        {"edit a read-only dataset", readOnly, edit, readOnlyData, browse},
        {"insert into a read-only dataset", readOnly, [](Memory& d) { d.Insert(); }, readOnlyData, browse},
        {"append to a read-only dataset", readOnly, [](Memory& d) { d.Append(); }, readOnlyData, browse},
        {"delete from a read-only dataset", readOnly, [](Memory& d) { d.Delete(); }, readOnlyData, browse},
        {"insert a record into a read-only dataset", readOnly, [](Memory& d) { d.InsertRecord({5}); }, readOnlyData,
         browse},
        {"delete from an empty dataset",
         [](Memory& d) {
             while (!d.IsEmpty()) d.Delete();
         },
         [](Memory& d) { d.Delete(); }, "mem: Cannot perform this operation on an empty dataset", browse},
        {"post in browse", none, [](Memory& d) { d.Post(); }, notEditing, browse},
        {"update record in browse", none, [](Memory& d) { d.UpdateRecord(); }, notEditing, browse},
        {"write a field in browse", none, setName, notEditing, browse},
        {"clear a field in browse", none, [](Memory& d) { d.FieldNamed("ID").Clear(); }, notEditing, browse},
        {"write a read-only field in edit",
         [](Memory& d) {
             d.FieldNamed("NAME").SetReadOnly(true);
             d.Edit();
         },
         setName, "Field 'NAME' cannot be modified", TDataSetState::dsEdit},
        {"a key for a field that is no index field", [](Memory& d) { d.EditKey(); }, setName,
         "Field 'NAME' is not indexed and cannot be modified", TDataSetState::dsSetKey},
        {"a key for a read-only index field",
         [](Memory& d) {
             d.FieldNamed("ID").SetReadOnly(true);
             d.EditKey();
         },
         [](Memory& d) { d.FieldNamed("ID").SetValueAsInteger(3); }, "", TDataSetState::dsSetKey},
        {"the old value cannot be written", edit,
         [](Memory& d) { d.SetStateFieldValue(TDataSetState::dsOldValue, d.FieldNamed("ID"), 4); }, notEditing,
         TDataSetState::dsEdit},
        {"the new value can", edit, [](Memory& d) { d.FieldNamed("ID").SetNewValue(4); }, "", TDataSetState::dsEdit},
        {"a text that is no integer", edit, [](Memory& d) { d.FieldNamed("ID").SetValueAsText("x1"); },
         "'x1' is not a valid integer value", TDataSetState::dsEdit},
        {"a required field without a value",
         [](Memory& d) {
             d.FieldNamed("NAME").SetRequired(true);
             d.Insert();
         },
         [](Memory& d) { d.Post(); }, "Field 'NAME' must have a value", TDataSetState::dsInsert},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Memory d(Numbered(3));
        d.AddPersistentFields(false);  // they stay when the dataset closes
        d.Open();
        c.setup(d);
        const std::vector<Row> before = d.Stored();
        EXPECT_EQ(Failure([&] { c.action(d); }), c.message);
        EXPECT_EQ(d.State(), c.state);
        EXPECT_EQ(d.Stored(), before);
    }
}

TEST(DataSetEditing, TheFrameworksOwnDataSetIsReadOnly) {
    Memory d(Numbered(2));
    d.writable = false;  // leaves CanModify to the framework
    d.Open();
    EXPECT_FALSE(d.CanModify());
    EXPECT_EQ(Failure([&] { d.Edit(); }), "mem: Cannot modify a read-only dataset");
    EXPECT_EQ(Hooks(d.log), Log{"OpenEngineCursor"});
}

// A failure of an event or a hook half-way: the state before the call stays,
// with the record and the values written so far; nothing is stored.
TEST(DataSetEditing, AFailureHalfWayLeavesTheStateItFound) {
    struct Case {
        const char* name;
        std::function<void(Memory&)> prepare;  // before the failing call, with no failure set
        std::function<void(Memory&)> failAt;
        std::function<void(Memory&)> call;
        std::string message;
        TDataSetState state;
        std::int32_t current;
        std::string name_;  // NAME of the current record afterwards
        Log notCalled;      // hooks and events that must not run
    };
    const auto editName = [](Memory& d) {
        d.Edit();
        d.FieldNamed("NAME").SetValueAsText("typed");
    };
    const auto hook = [](const char* name) { return [name](Memory& d) { d.failing.insert(name); }; };
    const auto throwing = [](TDataSet::Event TDataSet::*event) {
        return [event](Memory& d) { d.*event = [](TDataSet&) { throw fw::EAbort("stopped"); }; };
    };
    const auto none = [](Memory&) {};
    const auto post = [](Memory& d) { d.Post(); };
    const TDataSetState edit = TDataSetState::dsEdit;
    const TDataSetState browse = TDataSetState::dsBrowse;
    const TDataSetState insert = TDataSetState::dsInsert;
    const Case cases[] = {
        {"InternalPost fails",
         editName,
         hook("InternalPost"),
         post,
         "InternalPost failed",
         edit,
         2,
         "typed",
         {"AfterPost"}},
        {"BeforePost throws",
         editName,
         throwing(&TDataSet::BeforePost),
         post,
         "stopped",
         edit,
         2,
         "typed",
         {"InternalPost", "AfterPost"}},
        {"a post before a move fails: no move",
         editName,
         hook("InternalPost"),
         [](Memory& d) { d.MoveToNext(); },
         "InternalPost failed",
         edit,
         2,
         "typed",
         {"BeforeScroll", "AfterScroll"}},
        {"InternalEdit fails",
         none,
         hook("InternalEdit"),
         [](Memory& d) { d.Edit(); },
         "InternalEdit failed",
         browse,
         2,
         "r2",
         {"AfterEdit"}},
        {"BeforeEdit throws",
         none,
         throwing(&TDataSet::BeforeEdit),
         [](Memory& d) { d.Edit(); },
         "stopped",
         browse,
         2,
         "r2",
         {"InternalEdit", "AfterEdit"}},
        {"InternalInsert fails: back on the record it was to go before",
         none,
         hook("InternalInsert"),
         [](Memory& d) { d.Insert(); },
         "InternalInsert failed",
         browse,
         2,
         "r2",
         {"OnNewRecord", "AfterInsert", "InternalCancel"}},
        {"OnNewRecord throws: the insert is cancelled",
         none,
         throwing(&TDataSet::OnNewRecord),
         [](Memory& d) { d.Append(); },
         "stopped",
         browse,
         3,
         "r3",
         {"AfterInsert", "AfterScroll"}},
        {"BeforeInsert throws",
         none,
         throwing(&TDataSet::BeforeInsert),
         [](Memory& d) { d.Insert(); },
         "stopped",
         browse,
         2,
         "r2",
         {"InternalInsert"}},
        {"InternalPost of a new record fails",
         [](Memory& d) {
             d.Insert();
             d.FieldNamed("NAME").SetValueAsText("new");
         },
         hook("InternalPost"),
         post,
         "InternalPost failed",
         insert,
         -1,
         "new",
         {"AfterPost"}},
        {"InternalDelete fails",
         none,
         hook("InternalDelete"),
         [](Memory& d) { d.Delete(); },
         "InternalDelete failed",
         browse,
         2,
         "r2",
         {"AfterDelete", "AfterScroll"}},
        {"BeforeDelete throws while editing",
         editName,
         throwing(&TDataSet::BeforeDelete),
         [](Memory& d) { d.Delete(); },
         "stopped",
         edit,
         2,
         "typed",
         {"InternalDelete"}},
        {"InternalAddRecord fails",
         none,
         hook("InternalAddRecord(insert)"),
         [](Memory& d) {
             d.InsertRecord({9, "nine"});
         },
         "InternalAddRecord(insert) failed",
         browse,
         2,
         "r2",
         {"AfterPost"}},
        {"InsertRecord with a value that does not convert",
         none,
         none,
         [](Memory& d) { d.InsertRecord({"nine"}); },
         "Could not convert variant of type (String) into type (Int64)",
         browse,
         2,
         "r2",
         {"InternalAddRecord(insert)", "BeforePost"}},
    };
    for (const std::size_t window : {1u, 3u}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", window " + std::to_string(window));
            Watched w(Numbered(3), window);
            Memory& d = w.data;
            d.Trace();
            d.Open();
            d.MoveToNext();
            c.prepare(d);
            c.failAt(d);
            d.log.clear();
            EXPECT_EQ(Failure([&] { c.call(d); }), c.message);
            EXPECT_EQ(d.State(), c.state);
            EXPECT_EQ(d.Modified(), c.state != browse);  // every edit case has written a value
            EXPECT_EQ(d.CurrentId(), c.current);
            EXPECT_EQ(d.FieldNamed("NAME").ValueAsText(), c.name_);
            EXPECT_EQ(d.StoredIds(), (std::vector<std::int32_t>{1, 2, 3}));
            EXPECT_EQ(d.Stored()[1].name, "r2");
            for (const std::string& hookName : c.notCalled) {
                EXPECT_EQ(std::count(d.log.begin(), d.log.end(), hookName), 0) << hookName;
            }
            // The failure gone, the same dataset goes on: the edit is stored or dropped.
            d.failing.clear();
            d.BeforePost = d.BeforeEdit = d.BeforeInsert = d.BeforeDelete = d.OnNewRecord = nullptr;
            if (d.State() != browse) d.Post();
            EXPECT_EQ(d.State(), browse);
            if (c.state == edit) {
                EXPECT_EQ(d.Stored()[1].name, "typed");
            }
            if (c.state == insert) {
                EXPECT_EQ(d.Stored().size(), 4u);
            }
        }
    }
}

TEST(DataSetEditing, CancelBringsBackTheStoredValuesAndAnInsertedRecordGoes) {
    Watched w(Numbered(3), 3);
    Memory& d = w.data;
    d.Open();
    d.MoveToNext();
    d.Edit();
    d.FieldNamed("NAME").SetValueAsText("typed");
    d.FieldNamed("AMOUNT").Clear();
    EXPECT_TRUE(d.FieldNamed("AMOUNT").IsNull());
    d.Cancel();
    EXPECT_EQ(d.State(), TDataSetState::dsBrowse);
    EXPECT_FALSE(d.Modified());
    EXPECT_EQ(d.FieldNamed("NAME").ValueAsText(), "r2");
    EXPECT_EQ(d.FieldNamed("AMOUNT").ValueAsFloat(), 2.5);
    EXPECT_EQ(d.Stored(), Numbered(3));

    d.Insert();
    d.FieldNamed("ID").SetValueAsInteger(9);
    d.Cancel();
    EXPECT_EQ(d.CurrentId(), 2);
    EXPECT_EQ(d.Stored(), Numbered(3));
    EXPECT_EQ(Hooks(d.log),
              (Log{"OpenEngineCursor", "InternalEdit", "InternalCancel", "InternalInsert", "InternalCancel"}));
}

// A move, or any call that needs browse mode, posts a changed record and
// cancels one that was not changed (a new record given only its first values
// counts as unchanged).
TEST(DataSetEditing, CheckBrowseModePostsAChangedRecordAndCancelsAnUnchangedOne) {
    struct Case {
        const char* name;
        std::function<void(Memory&)> edit;
        std::function<void(Memory&)> then;
        Log hooks;
        std::vector<std::int32_t> stored;
        std::int32_t current;
    };
    const auto next = [](Memory& d) { d.MoveToNext(); };
    const Case cases[] = {
        {"changed, then a move",
         [](Memory& d) {
             d.Edit();
             d.FieldNamed("ID").SetValueAsInteger(20);
         },
         next,
         {"InternalEdit", "InternalPost"},
         {1, 20, 3},
         3},
        {"unchanged, then a move", [](Memory& d) { d.Edit(); }, next, {"InternalEdit", "InternalCancel"}, {1, 2, 3}, 3},
        {"a new record with first values only",
         [](Memory& d) {
             d.OnNewRecord = [](TDataSet& ds) { ds.FieldNamed("ID").SetValueAsInteger(7); };
             d.Insert();
             EXPECT_FALSE(d.Modified());
         },
         next,
         {"InternalInsert", "InternalCancel"},
         {1, 2, 3},
         3},
        {"a new record, changed, then another insert",
         [](Memory& d) {
             d.Insert();
             d.FieldNamed("ID").SetValueAsInteger(7);
         },
         [](Memory& d) { d.Insert(); },
         {"InternalInsert", "InternalPost", "InternalInsert"},
         {1, 7, 2, 3},
         -1},
        {"changed, then an explicit check",
         [](Memory& d) {
             d.Edit();
             d.FieldNamed("NAME").SetValueAsText("n");
         },
         [](Memory& d) { d.CheckBrowseMode(); },
         {"InternalEdit", "InternalPost"},
         {1, 2, 3},
         2},
        {"a key edit ends with the move",
         [](Memory& d) {
             d.EditKey();
             d.FieldNamed("ID").SetValueAsInteger(3);
         },
         next,
         {"PostKeyBuffer(commit)"},
         {1, 2, 3},
         3},
        {"a cancelled key edit restores the key",
         [](Memory& d) {
             d.EditKey();
             d.FieldNamed("ID").SetValueAsInteger(3);
         },
         [](Memory& d) {
             d.Cancel();
             EXPECT_EQ(d.KeyId(), std::nullopt);
         },
         {"PostKeyBuffer(cancel)"},
         {1, 2, 3},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Memory d(Numbered(3));
        d.Open();
        d.MoveToNext();
        d.log.clear();
        c.edit(d);
        c.then(d);
        EXPECT_EQ(Hooks(d.log), c.hooks);
        EXPECT_EQ(d.StoredIds(), c.stored);
        EXPECT_EQ(d.CurrentId(), c.current);
    }
}

// A detail's changed record is stored before its master moves, also while
// the master's controls are disabled; an unchanged one is dropped.
TEST(DataSetEditing, AMastersMoveFirstSettlesItsDetailsEdit) {
    for (const bool disabled : {false, true}) {
        SCOPED_TRACE(disabled ? "controls disabled" : "controls enabled");
        Memory master(Numbered(3));
        master.SetName("master");
        fw::TDataSource source;
        source.SetDataSet(&master);
        Memory detail(Numbered(2));
        fw::TMasterDataLink link(detail);
        master.Open();
        detail.Open();
        link.SetDataSource(&source);
        if (disabled) master.DisableControls();

        detail.Edit();
        detail.FieldNamed("NAME").SetValueAsText("kept");
        master.MoveToNext();
        EXPECT_EQ(detail.State(), TDataSetState::dsBrowse);
        EXPECT_EQ(detail.Stored()[0].name, "kept");

        detail.Edit();
        master.MoveToPrior();
        EXPECT_EQ(detail.State(), TDataSetState::dsBrowse);
        EXPECT_EQ(Hooks(detail.log),
                  (Log{"OpenEngineCursor", "InternalEdit", "InternalPost", "InternalEdit", "InternalCancel"}));

        // A detail that cannot store its record stops the master's move.
        detail.Edit();
        detail.FieldNamed("NAME").SetValueAsText("again");
        detail.failing.insert("InternalPost");
        EXPECT_EQ(Failure([&] { master.MoveToNext(); }), "InternalPost failed");
        EXPECT_EQ(master.CurrentId(), 1);
        EXPECT_EQ(detail.State(), TDataSetState::dsEdit);
        if (disabled) master.EnableControls();
    }
}

TEST(DataSetEditing, ClosingWhileEditingDropsTheChanges) {
    Memory d(Numbered(2));
    d.Open();
    d.Edit();
    d.FieldNamed("NAME").SetValueAsText("lost");
    d.Close();
    EXPECT_EQ(d.State(), TDataSetState::dsInactive);
    EXPECT_FALSE(d.Modified());
    EXPECT_EQ(Hooks(d.log), (Log{"OpenEngineCursor", "InternalEdit", "InternalCancel"}));
    EXPECT_EQ(d.Stored(), Numbered(2));
    d.Open();
    EXPECT_EQ(d.FieldNamed("NAME").ValueAsText(), "r1");
}

// Field writes tell the field's OnChange and the links, mark the record
// modified and recompute the calculated fields; key values are told only.
TEST(DataSetEditing, AFieldWriteIsToldAndRecalculates) {
    Watched w(Numbered(2));
    Memory& d = w.data;
    d.AddPersistentFields(true);
    d.Open();
    fw::TField& twice = d.FieldNamed("TWICE");
    EXPECT_EQ(twice.ValueAsInteger(), 2);
    int changes = 0;
    d.FieldNamed("ID").OnChange = [&](fw::TField& f) {
        ++changes;
        EXPECT_EQ(f.ValueAsInteger(), 21);
        EXPECT_EQ(f.DataSet().FieldNamed("TWICE").ValueAsInteger(), 42);  // calculated before
    };
    d.Edit();
    d.log.clear();
    d.FieldNamed("ID").SetValueAsInteger(21);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(d.log, (Log{"link:field:ID"}));
    EXPECT_EQ(twice.ValueAsInteger(), 42);
    EXPECT_EQ(d.FieldNamed("ID").OldValue().AsInteger(), 1);  // as stored
    EXPECT_EQ(d.FieldNamed("ID").NewValue().AsInteger(), 21);
    d.FieldNamed("ID").OnChange = nullptr;
    d.SetAutoCalcFields(false);
    d.FieldNamed("ID").SetValueAsInteger(5);
    EXPECT_EQ(twice.ValueAsInteger(), 42);
    d.Post();
    EXPECT_EQ(twice.ValueAsInteger(), 10);  // read again with the record

    d.EditKey();
    d.log.clear();
    d.FieldNamed("ID").SetValueAsInteger(8);
    EXPECT_EQ(d.log, (Log{"link:field:ID"}));
    EXPECT_FALSE(d.Modified());
    EXPECT_TRUE(twice.IsNull());  // a key has no calculated values
    d.Cancel();

    // Writing into the calculated area is for OnCalcFields, and data fields are not.
    EXPECT_EQ(Failure([&] { twice.SetValueAsInteger(1); }), "mem: Dataset not in edit mode");
    d.OnCalcFields = [](TDataSet& ds) { ds.FieldNamed("NAME").SetValueAsText("x"); };
    EXPECT_EQ(Failure([&] { d.MoveToNext(); }), "mem: Dataset not in edit mode");
    EXPECT_EQ(d.State(), TDataSetState::dsBrowse);
}

TEST(DataSetEditing, TheFilterStateShowsTheRecordOfferedAndTakesValuesWithoutChanges) {
    Watched w(Numbered(4));
    Memory& d = w.data;
    std::vector<std::int32_t> offered;
    d.OnFilterRecord = [&](TDataSet& ds, bool& accept) {
        EXPECT_EQ(ds.State(), TDataSetState::dsFilter);
        offered.push_back(ds.FieldNamed("ID").ValueAsInteger());
        // A value to compare with may be written even into a read-only field; nobody is told.
        ds.FieldNamed("NAME").SetReadOnly(true);
        ds.FieldNamed("NAME").SetValueAsText("probe");
        accept = ds.FieldNamed("ID").ValueAsInteger() % 2 == 1;
    };
    d.Open();
    d.SetFiltered(true);
    d.log.clear();
    offered.clear();
    std::vector<std::int32_t> seen;
    for (d.MoveToFirst(); !d.AtEnd(); d.MoveToNext()) seen.push_back(d.CurrentId());
    EXPECT_EQ(seen, (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(offered, (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(std::count(d.log.begin(), d.log.end(), "link:field:NAME"), 0);
    EXPECT_FALSE(d.Modified());
    EXPECT_EQ(d.Stored(), Numbered(4));
}

}  // namespace
}  // namespace memtest
