// The generic dataset over rows held in memory: what its links hear while its
// controls are disabled, field definitions brought up to date on a closed
// dataset, and field names found as the system's locale compares them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "framework/dataset/data_link.h"
#include "framework/dataset/data_source.h"
#include "framework/dataset/dataset.h"
#include "framework/exceptions.h"
#include "framework/text_compare.h"

namespace {

using fw::RecordBuffer;
using fw::TBookmarkFlag;
using fw::TFetchMode;
using fw::TFetchResult;
using fw::TFieldType;

// Integer rows; every column of a row reads the row's value. A buffer holds
// the value, the row's position and the bookmark flag.
class Rows : public fw::TDataSet {
public:
    Rows(std::vector<std::string> columns, std::vector<std::int32_t> values)
        : columns_(std::move(columns)), values_(std::move(values)) {}
    ~Rows() override { CloseQuietly(); }

    void SetColumns(std::vector<std::string> columns) { columns_ = std::move(columns); }
    int InitCalls = 0;

    bool GetFieldData(const fw::TField&, void* buffer) const override {
        const RecordBuffer* active = ActiveBuffer();
        if (active == nullptr) return false;
        if (buffer != nullptr) std::memcpy(buffer, active->data(), 4);
        return true;
    }
    void InternalSetFieldData(fw::TField&, const void*) override { throw fw::EDatabaseError("read only"); }

protected:
    void InitFieldDefs() override {
        ++InitCalls;
        FieldDefs().Clear();
        for (const std::string& name : columns_) FieldDefs().Add(name, TFieldType::ftInteger, 0, false);
    }
    void OpenEngineCursor() override {
        open_ = true;
        pos_ = -1;
        FieldDefs().SetUpdated(false);
        UpdateFieldDefs();
        if (DefaultFields()) CreateDefaultFields();
    }
    void CloseEngineCursor() override {
        DestroyDefaultFields();
        open_ = false;
    }
    bool CursorIsOpen() const override { return open_; }
    TFetchResult FetchRecord(RecordBuffer& buffer, TFetchMode mode) override {
        const auto count = static_cast<std::int32_t>(values_.size());
        if (mode == TFetchMode::Next && ++pos_ >= count) {
            pos_ = count;
            return TFetchResult::HitEnd;
        }
        if (mode == TFetchMode::Prior && --pos_ < 0) {
            pos_ = -1;
            return TFetchResult::HitBeginning;
        }
        if (pos_ < 0 || pos_ >= count) return TFetchResult::Failed;
        std::memcpy(buffer.data(), &values_[static_cast<std::size_t>(pos_)], 4);
        std::memcpy(buffer.data() + 4, &pos_, 4);
        buffer[8] = static_cast<std::uint8_t>(TBookmarkFlag::Current);
        return TFetchResult::Ok;
    }
    void SeekBeforeFirst() override { pos_ = -1; }
    void SeekAfterLast() override { pos_ = static_cast<std::int32_t>(values_.size()); }
    void PositionOnBuffer(const RecordBuffer& buffer) override { std::memcpy(&pos_, buffer.data() + 4, 4); }
    std::size_t RecordBufferSize() const override { return 9; }
    TBookmarkFlag BookmarkFlagOf(const RecordBuffer& buffer) const override {
        return static_cast<TBookmarkFlag>(buffer[8]);
    }
    void SetBookmarkFlag(RecordBuffer& buffer, TBookmarkFlag flag) override {
        buffer[8] = static_cast<std::uint8_t>(flag);
    }

private:
    std::vector<std::string> columns_;
    std::vector<std::int32_t> values_;
    std::int32_t pos_ = -1;
    bool open_ = false;
};

// Writes down every notice a link hears, in order.
class Listener : public fw::TDataLink {
public:
    std::vector<std::string> Heard;

protected:
    void ActiveChanged() override { Heard.push_back(Active() ? "active" : "inactive"); }
    void RecordChanged(fw::TField* field) override { Heard.push_back(field != nullptr ? "field" : "record"); }
    void DataSetChanged() override { Heard.push_back("changed"); }
    void DataSetScrolled(int) override { Heard.push_back("scrolled"); }
    void LayoutChanged() override { Heard.push_back("layout"); }
};

using Heard = std::vector<std::string>;

TEST(DataSetControls, LinksHearOnceOnTheLastEnableWhatChangedMeanwhile) {
    struct Case {
        const char* name;
        bool openFirst;
        std::function<void(Rows&, Heard&)> steps;
        Heard heard;
        std::int32_t value;  // of the current record afterwards; 0 when closed
    };
    const Case cases[] = {
        {"not disabled, every step is told",
         true,
         [](Rows& d, Heard&) {
             d.MoveToNext();
             d.Close();
             d.Open();
         },
         {"scrolled", "inactive", "active"},
         10},
        {"moves are told once, as a change of the whole content",
         true,
         [](Rows& d, Heard&) {
             d.DisableControls();
             d.MoveToNext();
             d.MoveToNext();
             d.EnableControls();
         },
         {"changed"},
         30},
        {"nested calls tell on the last enable only",
         true,
         [](Rows& d, Heard& marks) {
             d.DisableControls();
             d.DisableControls();
             d.MoveToNext();
             d.EnableControls();
             marks.push_back("|");
             d.EnableControls();
         },
         {"|", "changed"},
         20},
        {"nothing done meanwhile still refreshes the links",
         true,
         [](Rows& d, Heard&) {
             d.DisableControls();
             d.EnableControls();
         },
         {"changed"},
         10},
        {"closed meanwhile: only the new state",
         true,
         [](Rows& d, Heard&) {
             d.DisableControls();
             d.Close();
             d.EnableControls();
         },
         {"inactive"},
         0},
        {"closed and opened again: the layout, as the fields are new",
         true,
         [](Rows& d, Heard&) {
             d.DisableControls();
             d.Close();
             d.Open();
             d.EnableControls();
         },
         {"layout"},
         10},
        {"opened meanwhile: only the new state",
         false,
         [](Rows& d, Heard&) {
             d.DisableControls();
             d.Open();
             d.EnableControls();
         },
         {"active"},
         10},
        {"an enable without a disable does not count",
         true,
         [](Rows& d, Heard&) {
             d.EnableControls();
             d.DisableControls();
             d.MoveToNext();
             d.EnableControls();
         },
         {"changed"},
         20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rows rows({"N"}, {10, 20, 30});
        fw::TDataSource source;
        source.SetDataSet(&rows);
        Listener link;
        link.SetDataSource(&source);
        if (c.openFirst) rows.Open();
        link.Heard.clear();
        c.steps(rows, link.Heard);
        EXPECT_EQ(link.Heard, c.heard);
        EXPECT_FALSE(rows.ControlsDisabled());
        EXPECT_EQ(link.Active(), rows.Active());
        if (rows.Active()) {
            EXPECT_EQ(rows.FieldNamed("N").ValueAsInteger(), c.value);
        } else {
            EXPECT_EQ(c.value, 0);
        }
    }
}

// A link told of a move may detach other links (a form closing a grid, say):
// the round goes on over the links attached when it began, and one detached
// meanwhile is not told, nor is one passed over. Up to eight links are
// copied onto the stack, more
// onto the heap; both hold.
TEST(DataSetControls, ALinkDetachedWhileOthersAreToldIsNotTold) {
    class Detacher : public fw::TDataLink {
    public:
        std::vector<fw::TDataLink*> Victims;
        int Told = 0;

    protected:
        void DataSetScrolled(int) override {
            ++Told;
            for (fw::TDataLink* victim : Victims) victim->SetDataSource(nullptr);
            Victims.clear();
        }
    };
    for (const std::size_t count : {4u, 8u, 9u, 20u}) {
        SCOPED_TRACE(count);
        Rows rows({"N"}, {10, 20, 30});
        fw::TDataSource source;
        source.SetDataSet(&rows);
        std::vector<std::unique_ptr<Detacher>> links;
        for (std::size_t i = 0; i < count; ++i) {
            links.push_back(std::make_unique<Detacher>());
            links.back()->SetDataSource(&source);
        }
        rows.Open();
        // The third link detaches the first, told already, and the last,
        // not told yet; the others still attached are told all the same.
        links[2]->Victims = {links.front().get(), links.back().get()};
        rows.MoveToNext();
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(links[i]->Told, i == count - 1 ? 0 : 1) << i;
        rows.MoveToNext();
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(links[i]->Told, i == count - 1 ? 0 : i == 0 ? 1 : 2) << i;
        for (auto& link : links) link->SetDataSource(nullptr);
    }
}

// A master reopened with another layout while its controls are disabled: the
// detail's link finds the master's new fields and follows once.
TEST(DataSetControls, AMasterLinkFindsTheFieldsOfAReopenedMaster) {
    Rows master({"N"}, {10, 20});
    Rows detail({"D"}, {1});
    fw::TDataSource source;
    source.SetDataSet(&master);
    master.Open();
    detail.Open();
    fw::TMasterDataLink link(detail);
    int changes = 0;
    link.OnMasterChange = [&] { ++changes; };
    link.SetDataSource(&source);
    link.SetFieldNames("N");
    ASSERT_EQ(link.Fields().size(), 1u);
    changes = 0;

    master.DisableControls();
    master.Close();
    master.SetColumns({"X", "N"});
    master.Open();
    EXPECT_EQ(changes, 0);
    master.EnableControls();
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(link.Fields().size(), 1u);
    EXPECT_EQ(link.Fields()[0], &master.FieldNamed("N"));
    EXPECT_EQ(link.Fields()[0]->FieldNo(), 2);
}

TEST(DataSetFieldDefs, AClosedDataSetReadsItsDefinitionsOnceWithoutOpening) {
    Rows rows({"A", "B"}, {1});
    rows.FieldDefs().Update();
    EXPECT_EQ(rows.InitCalls, 1);
    EXPECT_FALSE(rows.Active());
    ASSERT_EQ(rows.FieldDefs().Count(), 2u);
    EXPECT_EQ(rows.FieldDefs()[1].Name, "B");
    EXPECT_EQ(rows.FieldDefs()[1].FieldNo, 2);

    rows.FieldDefs().Update();  // up to date: not read again
    EXPECT_EQ(rows.InitCalls, 1);

    rows.SetColumns({"C"});
    rows.FieldDefs().SetUpdated(false);  // what a changed property does
    rows.UpdateFieldDefs();
    EXPECT_EQ(rows.InitCalls, 2);
    ASSERT_EQ(rows.FieldDefs().Count(), 1u);
    EXPECT_EQ(rows.FieldDefs()[0].Name, "C");

    // Definitions given from outside and marked up to date (stored ones) serve as they are.
    rows.FieldDefs().Clear();
    rows.FieldDefs().Add("Stored", TFieldType::ftString, 8, false);
    rows.FieldDefs().SetUpdated(true);
    rows.FieldDefs().Update();
    EXPECT_EQ(rows.InitCalls, 2);
    ASSERT_EQ(rows.FieldDefs().Count(), 1u);
    EXPECT_EQ(rows.FieldDefs()[0].Name, "Stored");
    EXPECT_FALSE(rows.Active());

    // A list of its own has nothing to read.
    fw::TFieldDefs own;
    own.Update();
    EXPECT_TRUE(own.Updated());
    EXPECT_EQ(own.Count(), 0u);
}

// Field names in 8-bit Windows-1252 text, looked up with another spelling.
TEST(DataSetFieldNames, NamesCompareIgnoringCaseAsTheSystemLocaleDoes) {
    struct Case {
        const char* field;
        const char* lookup;
        bool found;
    };
    const Case cases[] = {
        {"Amount", "amount", true},
        {"Amount", "AMOUNT", true},
        {"Entry Number", "ENTRY NUMBER", true},
        {"\xC4rzte", "\xE4RZTE", true},                  // Ärzte, äRZTE
        {"Caf\xC9", "caf\xE9", true},                    // CafÉ, café
        {"\xD0\xDE", "\xF0\xFE", true},                  // Ð Þ, ð þ
        {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", true},  // Š Œ Ž Ÿ, š œ ž ÿ
        {"A\xD7"
         "B",
         "a\xF7"
         "b",
         false},  // × and ÷ are no case pair
        {"Stra\xDF"
         "e",
         "STRASSE", false},          // ß is not SS
        {"Caf\xE9", "Cafe", false},  // accents count
        {"Entry Number", "EntryNumber", false},
        {"Entry Number", "Entry Number ", false},
        {"Amount", "Amoun", false},
        {"", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " / " + c.lookup);
        EXPECT_EQ(fw::AnsiSameText(c.field, c.lookup), c.found);
        Rows rows({"Other", c.field, c.field}, {1});
        rows.SetName("qryPay");
        rows.Open();
        const fw::TField* field = rows.FindField(c.lookup);
        EXPECT_EQ(field != nullptr, c.found);
        if (field != nullptr) {  // the first of two with the name
            EXPECT_EQ(field->FieldNo(), 2);
        }
        const fw::TFieldDef* def = rows.FieldDefs().Find(c.lookup);
        EXPECT_EQ(def != nullptr, c.found);
        if (def != nullptr) {
            EXPECT_EQ(def->FieldNo, 2);
        }
        try {
            EXPECT_EQ(&rows.FieldNamed(c.lookup), field);
            EXPECT_TRUE(c.found);
        } catch (const fw::EDatabaseError& e) {
            EXPECT_FALSE(c.found);
            EXPECT_EQ(e.Message(), std::string("qryPay: Field '") + c.lookup + "' not found");
        }
    }
}

}  // namespace
