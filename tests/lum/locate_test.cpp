// Locating records by key values: the engine expression built for a search
// (each form, and values that try to leave their literal), Locate and Lookup
// through an index seek on every key kind and table type, the expression
// search where no index leads with the key fields, and FindFirst and its kin
// through the filter handler.
#include <functional>
#include <optional>
#include <random>

#include "data/lum/errors.h"
#include "framework/format.h"
#include "tests/lum/fixture.h"
#include "tests/lum/recording_engine.h"
#include "tests/lum/table_cases.h"

namespace lumtest {
namespace {

using lce::Value;
using lum::LocateTerm;
using lum::LocateValueKind;
using lum::TLocateOption;
using lum::TLocateOptions;

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const fw::Exception& e) {
        return e.Message();
    }
    return "<nothing raised>";
}

// ---- the expression ---------------------------------------------------------

TEST(LocateExpression, EachFormAsTheEngineReadsIt) {
    using K = LocateValueKind;
    const TLocateOptions none;
    const TLocateOptions partial{TLocateOption::loPartialKey};
    const TLocateOptions caseless{TLocateOption::loCaseInsensitive};
    const TLocateOptions both{TLocateOption::loCaseInsensitive, TLocateOption::loPartialKey};
    struct Case {
        std::vector<LocateTerm> terms;
        TLocateOptions options;
        const char* expected;
    };
    const Case cases[] = {
        {{{"Name", K::Text, "Smith"}}, none, "[Name] == 'Smith'"},
        {{{"Name", K::Text, "Sm"}}, partial, "[Name] = 'Sm'"},
        {{{"Name", K::Text, "smith"}}, caseless, "UPPER([Name]) == UPPER('smith')"},
        {{{"Name", K::Text, "sm"}}, both, "UPPER([Name]) = UPPER('sm')"},
        {{{"Name", K::Text, ""}}, none, "[Name] == ''"},
        {{{"Name", K::Text, std::nullopt}}, both, "(empty([Name]))"},
        {{{"Amount", K::Number, "-12.5"}}, both, "[Amount] == -12.5"},
        {{{"Day", K::Date, "03/15/2011"}}, partial, "[Day] == ctod('03/15/2011')"},
        {{{"At", K::Time, "08:30:00"}}, none, "[At] == ctot('08:30:00')"},
        {{{"Stamp", K::Timestamp, "03/15/2011 08:30:00.250"}}, none, "[Stamp] == ctots('03/15/2011 08:30:00.250')"},
        {{{"Paid", K::Logical, "T"}}, caseless, "[Paid] == .TRUE."},
        {{{"Paid", K::Logical, "F"}}, none, "[Paid] == .FALSE."},
        {{{"ENTRY NUMBER", K::Number, "7"}}, none, "[ENTRY NUMBER] == 7"},
        {{{"A]B", K::Text, "x"}}, none, "[A]]B] == 'x'"},
        {{{"Name", K::Text, "O'Brien"}}, none, "[Name] == \"O'Brien\""},
        {{{"Name", K::Text, "say \"hi\""}}, none, "[Name] == 'say \"hi\"'"},
        {{{"Name", K::Text, "it's \"x\""}}, none, "[Name] == 'it''s \"x\"'"},
        {{{"Code", K::Text, "B"}, {"Day", K::Date, std::nullopt}, {"Paid", K::Logical, "T"}},
         partial,
         "[Code] = 'B' AND (empty([Day])) AND [Paid] == .TRUE."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(lum::BuildLocateExpression(c.terms, c.options), c.expected);
    }
}

// The literals of an expression read as the engine's reader reads them: a
// quote opens one that the same quote ends, two single quotes inside single
// quotes standing for one. The text outside them comes back with "?" for each.
std::string Skeleton(const std::string& expression, std::vector<std::string>& literals) {
    std::string outside;
    for (std::size_t i = 0; i < expression.size(); ++i) {
        const char quote = expression[i];
        if (quote != '\'' && quote != '"') {
            outside += quote;
            continue;
        }
        std::string literal;
        for (++i; i < expression.size(); ++i) {
            if (expression[i] != quote) {
                literal += expression[i];
            } else if (quote == '\'' && i + 1 < expression.size() && expression[i + 1] == '\'') {
                literal += '\'';
                ++i;
            } else {
                break;
            }
        }
        literals.push_back(literal);
        outside += '?';
    }
    return outside;
}

TEST(LocateExpression, NoValueLeavesItsLiteral) {
    const char* values[] = {
        "') OR .TRUE. OR ('",
        "\") OR .TRUE. OR (\"",
        "' OR \" OR '",
        "''",
        "\"\"'\"",
        "a] == [b",
        "x' AND [Paid] == .TRUE. AND 'y",
        "(empty([Name]))",
        "UPPER(' + ')",
        "'",
        "\"",
        "==",
    };
    std::vector<std::string> all(std::begin(values), std::end(values));
    // And values drawn from the characters that shape an expression.
    std::mt19937 draw(2026);
    const std::string shaping = "'\"[]()=. ANDORUPPERempty.T.";
    for (int i = 0; i < 500; ++i) {
        std::string value(draw() % 12, ' ');
        for (char& c : value) c = shaping[draw() % shaping.size()];
        all.push_back(value);
    }
    for (const std::string& value : all) {
        SCOPED_TRACE(value);
        for (const TLocateOptions options :
             {TLocateOptions{}, TLocateOptions{TLocateOption::loCaseInsensitive, TLocateOption::loPartialKey}}) {
            const std::string expression =
                lum::BuildLocateExpression({{"Name", LocateValueKind::Text, value}}, options);
            std::vector<std::string> literals;
            const std::string outside = Skeleton(expression, literals);
            const bool caseless = options.Has(TLocateOption::loCaseInsensitive);
            EXPECT_EQ(outside, caseless ? "UPPER([Name]) = UPPER(?)" : "[Name] == ?") << expression;
            EXPECT_EQ(literals, std::vector<std::string>{value}) << expression;
        }
    }
}

// ---- the searches -------------------------------------------------------------

// K.LDT of a table type: Code (character 6), Amount (numeric 10.2), Day
// (date), Paid (logical) and Name (character 10, no index):
//   1 B1  10.50 2011-03-15 T Beta
//   2 A1  20.00 2011-03-16 F Alpha
//   3 B2  10.50 2011-03-14 T Gamma
//   4 --  null  null       F Delta
//   5 C1  30.00 2011-03-17 T Epsilon
// indexes on each of the first four and on Code;Day.
long Julian(int year, int month, int day) {
    return static_cast<long>(fw::EncodeDate(year, month, day)) + fw::JulianDayOfDateTimeZero;
}

fw::Variant DateValue(int year, int month, int day) {
    return fw::Variant::FromDateTime(fw::EncodeDate(year, month, day));
}

lce::ColumnDef Column(const std::string& name, std::uint16_t type, std::uint32_t length = 0, std::uint16_t decimals = 0,
                      bool nullable = true) {
    lce::ColumnDef def;
    def.name = name;
    def.type = type;
    def.length = length;
    def.decimals = decimals;
    def.nullable = nullable;
    return def;
}

lce::IndexDef Index(const std::string& name, std::vector<std::string> fields) {
    lce::IndexDef def;
    def.name = name;
    def.fields = std::move(fields);
    return def;
}

void BuildKeyTable(const TempDir& dir, const TableCase& t) {
    lce::TableSchema schema;
    schema.tableType = t.tableType;
    schema.columns = {Column("Code", LUM_STRING, 6, 0, t.nullable), Column("Amount", LUM_NUMERIC, 10, 2, t.nullable),
                      Column("Day", LUM_DATE, 0, 0, t.nullable), Column("Paid", LUM_LOGICAL, 0, 0, t.nullable),
                      Column("Name", LUM_STRING, 10, 0, t.nullable)};
    schema.indexes = {Index("BYCODE", {"Code"}), Index("BYAMOUNT", {"Amount"}), Index("BYDAY", {"Day"}),
                      Index("BYPAID", {"Paid"}), Index("BYCODEDAY", {"Code", "Day"})};
    auto file = lce::TableFile::create(dir.path("K.LDT"), schema);
    const auto row = [](const char* code, double amount, long day, bool paid, const char* name) {
        return lce::Row{Value::ofText(code), Value::ofDouble(amount), Value::ofDate(day), Value::ofLogical(paid),
                        Value::ofText(name)};
    };
    file.append(row("B1", 10.5, Julian(2011, 3, 15), true, "Beta"));
    file.append(row("A1", 20, Julian(2011, 3, 16), false, "Alpha"));
    file.append(row("B2", 10.5, Julian(2011, 3, 14), true, "Gamma"));
    file.append({Value::null(), Value::null(), Value::null(), Value::ofLogical(false), Value::ofText("Delta")});
    file.append(row("C1", 30, Julian(2011, 3, 17), true, "Epsilon"));
}

struct KeyTable {
    KeyTable(const TempDir& dir, const TableCase& t) {
        BuildKeyTable(dir, t);
        connection.SetConnectPath(dir.path());
        table.SetName("tblKeys");
        table.SetLumConnection(&connection);
        table.SetTableName("K.LDT");
        table.SetTableType(t.openAs);
    }
    std::string Name() { return table.FieldNamed("Name").ValueAsText(); }
    lum::TLumConnection connection;
    lum::TLumTable table;
};

struct SearchCase {
    const char* label;
    const char* fields;
    std::vector<fw::Variant> values;
    TLocateOptions options;
    const char* name;  // the record found, nullptr: none
    int seeks = 1;     // index seeks the search takes
};

// Every case is answered by one index seek (or none, where no record can hold
// the value); the engine's expressions are not asked for.
std::vector<SearchCase> SeekCases() {
    const TLocateOptions partial{TLocateOption::loPartialKey};
    return {
        {"character", "Code", {"A1"}, {}, "Alpha"},
        {"character, none", "Code", {"ZZ"}, {}, nullptr},
        {"character is whole", "Code", {"B"}, {}, nullptr},
        {"character, a prefix", "Code", {"B"}, partial, "Beta"},
        {"character, lower case is another key", "Code", {"a1"}, {}, nullptr},
        {"character longer than its column", "Code", {"A1xxxxxxxx"}, {}, nullptr, 0},
        {"number, first of two", "Amount", {10.5}, {}, "Beta"},
        {"number as an integer", "Amount", {std::int64_t{30}}, {}, "Epsilon"},
        {"number, none", "Amount", {10.25}, {}, nullptr},
        {"date", "Day", {DateValue(2011, 3, 14)}, {}, "Gamma"},
        {"date, none", "Day", {DateValue(2011, 3, 18)}, {}, nullptr},
        {"logical", "Paid", {false}, {}, "Alpha"},
        {"null finds the empty key", "Amount", {fw::Variant::Null()}, {}, "Delta"},
        {"two fields", "code; DAY", {"B2", DateValue(2011, 3, 14)}, {}, "Gamma"},
        {"two fields, the second differs", "Code;Day", {"B2", DateValue(2011, 3, 15)}, {}, nullptr},
        {"a prefix that is a whole value", "Code", {"C1"}, partial, "Epsilon"},
    };
}

// An engine that seeks but evaluates no expression, counting the seeks.
int& Seeks() {
    static int seeks = 0;
    return seeks;
}
LumFunctions SeekOnlyEngine() {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumSeek = [](LUMHANDLE index, const UNSIGNED8* key, UNSIGNED16 length, UNSIGNED16 kind, UNSIGNED16 type,
                        UNSIGNED16* found) {
        ++Seeks();
        return LumSeek(index, key, length, kind, type, found);
    };
    engine.LumEvalLogicalExpr = [](LUMHANDLE, const char*, UNSIGNED16*) {
        return LumSetLastError(LUM_ERR_NOT_SUPPORTED, "No expression was to be evaluated");
    };
    return engine;
}

TEST(Locate, SeeksEachKeyKindOnEveryTableType) {
    const LumFunctions engine = SeekOnlyEngine();
    for (const TableCase& t : tableCases) {
        TempDir dir;
        KeyTable keys(dir, t);
        keys.table.SetEngine(engine);
        keys.table.SetActive(true);
        for (const SearchCase& c : SeekCases()) {
            SCOPED_TRACE(std::string(1, t.letter) + ": " + c.label);
            keys.table.MoveToFirst();
            keys.table.MoveToNext();  // on Alpha, in natural order
            Seeks() = 0;
            const bool found = keys.table.Locate(c.fields, c.values, c.options);
            EXPECT_EQ(Seeks(), c.seeks);
            EXPECT_EQ(found, c.name != nullptr);
            // Not found, the active record stays.
            EXPECT_EQ(keys.Name(), c.name != nullptr ? c.name : "Alpha");
            if (c.options.Has(TLocateOption::loPartialKey)) continue;
            const std::vector<fw::Variant> looked = keys.table.Lookup(c.fields, c.values, "Name;Paid");
            ASSERT_EQ(looked.size(), 2u);
            if (c.name == nullptr) {
                EXPECT_TRUE(looked[0].IsNull());
                EXPECT_TRUE(looked[1].IsNull());
            } else {
                EXPECT_EQ(looked[0].AsString(), c.name);
                EXPECT_EQ(looked[1].AsBoolean(), keys.table.FieldNamed("Paid").ValueAsVariant().AsBoolean());
            }
            // A lookup leaves the active record where it was.
            EXPECT_EQ(keys.Name(), c.name != nullptr ? c.name : "Alpha");
        }
    }
}

TEST(Locate, FindsTheFirstInTheActiveOrderAndMovesOnFromIt) {
    TempDir dir;
    KeyTable keys(dir, tableCases[2]);
    keys.table.SetIndexFieldNames("Amount");
    keys.table.SetActive(true);
    int scrolls = 0;
    keys.table.AfterScroll = [&](fw::TDataSet&) { ++scrolls; };
    ASSERT_TRUE(keys.table.Locate("Amount", {10.5}, {}));
    EXPECT_EQ(keys.Name(), "Beta");
    EXPECT_EQ(scrolls, 1);
    keys.table.MoveToNext();
    EXPECT_EQ(keys.Name(), "Gamma");
    keys.table.MoveToNext();
    EXPECT_EQ(keys.Name(), "Alpha");
    // A search that finds nothing is no scroll.
    EXPECT_FALSE(keys.table.Locate("Amount", {99.0}, {}));
    EXPECT_EQ(scrolls, 3);
    EXPECT_EQ(keys.Name(), "Alpha");
    keys.table.MoveToPrior();
    EXPECT_EQ(keys.Name(), "Gamma");
    // A lookup moves the engine's cursor, not the dataset: the next move goes
    // on from the active record.
    EXPECT_EQ(keys.table.Lookup("Code", {"C1"}, "Name").front().AsString(), "Epsilon");
    EXPECT_EQ(keys.Name(), "Gamma");
    keys.table.MoveToPrior();
    EXPECT_EQ(keys.Name(), "Beta");
    EXPECT_EQ(scrolls, 5);
}

TEST(Locate, RefusesWhatCannotBeSearched) {
    TempDir dir;
    KeyTable keys(dir, tableCases[2]);
    EXPECT_EQ(MessageOf([&] { keys.table.Locate("Code", {"A1"}, {}); }),
              "tblKeys: Cannot perform this operation on a closed dataset");
    keys.table.SetActive(true);
    EXPECT_EQ(MessageOf([&] { keys.table.Locate("Nothing", {"A1"}, {}); }), "tblKeys: Field 'Nothing' not found");
    EXPECT_EQ(MessageOf([&] { keys.table.Locate("Code;Day", {"A1"}, {}); }),
              "tblKeys: A record search needs one value for each key field: 2 fields and 1 values were given.");
    EXPECT_EQ(MessageOf([&] { keys.table.Lookup("Code", {"A1"}, "Name;Nothing"); }),
              "tblKeys: Field 'Nothing' not found");
}

// The expression search, for key fields no index leads with, case-insensitive
// and partial values, and records a seek finds but the dataset hides.
TEST(Locate, TestsEachRecordWithAnExpressionWhereNoIndexServes) {
    for (const TableCase& t : tableCases) {
        SCOPED_TRACE(std::string(1, t.letter));
        TempDir dir;
        KeyTable keys(dir, t);
        keys.table.SetActive(true);
        UNSIGNED16 match = 0;
        if (LumEvalLogicalExpr(keys.table.CursorHandle(), "[Name] == 'Beta'", &match) == LUM_ERR_NOT_SUPPORTED)
            GTEST_SKIP() << "this engine version evaluates no expressions (LumEvalLogicalExpr answers 5004)";
        const TLocateOptions partial{TLocateOption::loPartialKey};
        const TLocateOptions caseless{TLocateOption::loCaseInsensitive};
        const TLocateOptions both{TLocateOption::loCaseInsensitive, TLocateOption::loPartialKey};
        const std::vector<SearchCase> cases = {
            {"character without an index", "Name", {"Gamma"}, {}, "Gamma"},
            {"without an index, none", "Name", {"Gam"}, {}, nullptr},
            {"prefix", "Name", {"Gam"}, partial, "Gamma"},
            {"letter case ignored", "Code", {"a1"}, caseless, "Alpha"},
            {"prefix, letter case ignored", "Name", {"eps"}, both, "Epsilon"},
            {"two fields, no index", "Paid;Name", {true, "Gamma"}, {}, "Gamma"},
            {"null", "Code;Name", {fw::Variant::Null(), "Delta"}, {}, "Delta"},
            {"a quote in the value", "Name", {"O'Brien"}, {}, nullptr},
        };
        for (const SearchCase& c : cases) {
            SCOPED_TRACE(c.label);
            keys.table.MoveToFirst();
            EXPECT_EQ(keys.table.Locate(c.fields, c.values, c.options), c.name != nullptr);
            EXPECT_EQ(keys.Name(), c.name != nullptr ? c.name : "Beta");
        }
        // A record the filter handler hides is not found, through a seek either.
        keys.table.OnFilterRecord = [](fw::TDataSet& dataSet, bool& accept) {
            accept = dataSet.FieldNamed("Name").ValueAsText() != "Beta";
        };
        keys.table.SetFiltered(true);
        ASSERT_TRUE(keys.table.Locate("Amount", {10.5}, {}));
        EXPECT_EQ(keys.Name(), "Gamma");
        EXPECT_FALSE(keys.table.Locate("Name", {"Beta"}, {}));
    }
}

// The layer's side of the expression search, with the engine's evaluation
// played by the test: which records are tested, in which order, with which
// expression, and what becomes of the answer.
struct Evaluation {
    std::vector<std::string> expressions;
    std::vector<std::string> tested;  // the Name of each record tested
    std::string matching;             // the Name the expression holds for
    bool refuse = false;
};
Evaluation& Evaluated() {
    static Evaluation evaluation;
    return evaluation;
}

LumFunctions EvaluatingEngine() {
    LumFunctions engine = lum::DefaultEngine();
    engine.LumEvalLogicalExpr = [](LUMHANDLE table, const char* expression, UNSIGNED16* result) -> UNSIGNED32 {
        Evaluation& e = Evaluated();
        if (e.refuse) return LumSetLastError(LUM_ERR_NOT_SUPPORTED, "Expression evaluation is not available");
        if (e.expressions.empty() || e.expressions.back() != expression) e.expressions.emplace_back(expression);
        UNSIGNED8 name[32] = {};
        UNSIGNED32 length = sizeof name;
        if (LumGetField(table, "Name", name, &length, 0) != 0) return LumSetLastError(LUM_ERR_INVALID_HANDLE, "?");
        std::string text(reinterpret_cast<const char*>(name), length);
        text.erase(text.find_last_not_of(' ') + 1);
        e.tested.push_back(text);
        *result = text == e.matching ? 1 : 0;
        return 0;
    };
    return engine;
}

TEST(Locate, ScansTheActiveOrderWithTheExpression) {
    const LumFunctions engine = EvaluatingEngine();
    TempDir dir;
    KeyTable keys(dir, tableCases[2]);
    keys.table.SetEngine(engine);
    keys.table.SetActive(true);
    using Names = std::vector<std::string>;
    struct Case {
        const char* label;
        std::function<void()> prepare;
        const char* fields;
        std::vector<fw::Variant> values;
        TLocateOptions options;
        const char* matching;
        const char* expression;
        Names tested;
        bool found;
    };
    const TLocateOptions caseless{TLocateOption::loCaseInsensitive};
    const Case cases[] = {
        {"natural order", [] {}, "Name", {"Gamma"}, {}, "Gamma", "[Name] == 'Gamma'", {"Beta", "Alpha", "Gamma"}, true},
        {"none",
         [] {},
         "Name",
         {"Zeta"},
         {},
         "",
         "[Name] == 'Zeta'",
         {"Beta", "Alpha", "Gamma", "Delta", "Epsilon"},
         false},
        {"letter case: no seek",
         [] {},
         "Code",
         {"b2"},
         caseless,
         "Gamma",
         "UPPER([Code]) == UPPER('b2')",
         {"Beta", "Alpha", "Gamma"},
         true},
        {"two fields no index leads with",
         [] {},
         "Paid;Code",
         {true, "C1"},
         {},
         "Epsilon",
         "[Paid] == .TRUE. AND [Code] == 'C1'",
         {"Beta", "Alpha", "Gamma", "Delta", "Epsilon"},
         true},
        {"the active order",
         [&] { keys.table.SetIndexName("BYAMOUNT"); },
         "Name",
         {"Alpha"},
         {},
         "Alpha",
         "[Name] == 'Alpha'",
         {"Delta", "Beta", "Gamma", "Alpha"},
         true},
        {"a record the seek finds outside the scope",
         [&] {
             keys.table.SetIndexName("BYCODE");
             keys.table.SetScopeBegin("B");
             keys.table.SetScopeEnd("B");
             keys.table.SetScoped(true);
         },
         "Amount",
         {30.0},
         {},
         "Epsilon",
         "[Amount] == 30",
         {"Beta", "Gamma"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        c.prepare();
        keys.table.MoveToFirst();
        const std::string first = keys.Name();
        Evaluated() = Evaluation{};
        Evaluated().matching = c.matching;
        EXPECT_EQ(keys.table.Locate(c.fields, c.values, c.options), c.found);
        EXPECT_EQ(Evaluated().expressions, Names{c.expression});
        EXPECT_EQ(Evaluated().tested, c.tested);
        EXPECT_EQ(keys.Name(), c.found ? c.matching : first);
    }
    // A lookup scans the same way; the engine's refusal reaches the caller.
    keys.table.SetIndexName("");
    keys.table.MoveToFirst();
    Evaluated() = Evaluation{};
    Evaluated().matching = "Epsilon";
    EXPECT_EQ(keys.table.Lookup("Name", {"Epsilon"}, "Code").front().AsString(), "C1");
    EXPECT_EQ(keys.Name(), "Beta");
    Evaluated().refuse = true;
    EXPECT_EQ(MessageOf([&] { keys.table.Locate("Name", {"Epsilon"}, {}); }),
              "tblKeys: Expression evaluation is not available");
    EXPECT_EQ(keys.Name(), "Beta");
}

// ---- searching with the filter handler ------------------------------------------------

TEST(FindRecord, SearchesWithTheFilterHandlerWhetherFilteredOrNot) {
    TempDir dir;
    KeyTable keys(dir, tableCases[0]);
    keys.table.SetActive(true);
    EXPECT_EQ(MessageOf([&] { keys.table.FindFirst(); }), "tblKeys: Expected OnFilterRecord event.");
    keys.table.OnFilterRecord = [](fw::TDataSet& dataSet, bool& accept) {
        accept = dataSet.FieldNamed("Code").ValueAsText().rfind('B', 0) == 0;
    };
    struct Step {
        const char* label;
        std::function<bool()> find;
        bool found;
        const char* name;  // the active record after the step
    };
    const std::vector<Step> steps = {
        {"first", [&] { return keys.table.FindFirst(); }, true, "Beta"},
        {"next", [&] { return keys.table.FindNext(); }, true, "Gamma"},
        {"next, none", [&] { return keys.table.FindNext(); }, false, "Gamma"},
        {"last", [&] { return keys.table.FindLast(); }, true, "Gamma"},
        {"prior", [&] { return keys.table.FindPrior(); }, true, "Beta"},
        {"prior, none", [&] { return keys.table.FindPrior(); }, false, "Beta"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        EXPECT_EQ(step.find(), step.found);
        EXPECT_EQ(keys.Name(), step.name);
    }
    // Not filtered, the dataset still shows every record.
    int count = 0;
    for (keys.table.MoveToFirst(); !keys.table.AtEnd(); keys.table.MoveToNext()) ++count;
    EXPECT_EQ(count, 5);
}

}  // namespace
}  // namespace lumtest
