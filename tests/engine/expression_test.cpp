// The engine's expression language through the C operations: filters
// (plain and optimised), exact matching, counts that respect filters,
// LumEvalLogicalExpr and the long and short forms, on every table type.
#include <set>
#include <string>
#include <vector>

#include "tests/engine/fixture.h"

using namespace lcetest;
using lce::Value;

namespace {

std::int64_t julian(int y, int m, int d) {
    const int a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
    return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

constexpr std::uint32_t ms(int h, int m, int s) { return static_cast<std::uint32_t>(((h * 60 + m) * 60 + s) * 1000); }

// Five records whose texts hold quotes, brackets and operators, and a record
// whose every field but the numbers is null.
lce::TableSchema mixedSchema() {
    lce::TableSchema schema;
    schema.columns = {col("Name", lce::kCharacter, 30), col("Code", lce::kCiCharacter, 10),
                      col("N", lce::kInteger),          col("Amount", lce::kMoney),
                      col("Price", lce::kDouble),       col("Day", lce::kDate),
                      col("Stamp", lce::kTimestamp),    col("At", lce::kTime),
                      col("Paid", lce::kLogical),       col("Notes", lce::kMemo),
                      col("Entry No", lce::kInteger)};
    lce::IndexDef byN;
    byN.name = "ByN";
    byN.fields = {"N"};
    schema.indexes = {byN};
    return schema;
}

std::vector<lce::Row> mixedRows() {
    using V = Value;
    const auto jan31 = julian(2020, 1, 31), jun15 = julian(2021, 6, 15), feb1 = julian(2020, 2, 1);
    return {
        {V::ofText("Smith"), V::ofText("ab"), V::ofInteger(1), V::ofScaled(125000), V::ofDouble(1.5), V::ofDate(jan31),
         V::ofTimestamp(jan31, ms(10, 30, 0)), V::ofTime(ms(10, 30, 0)), V::ofLogical(true), V::ofMemo("Paid in full"),
         V::ofInteger(100)},
        {V::ofText("Smithson"), V::ofText("AB"), V::ofInteger(2), V::ofScaled(-30000), V::ofDouble(2.25),
         V::ofDate(jun15), V::ofTimestamp(jun15, 0), V::ofTime(ms(8, 0, 0)), V::ofLogical(false),
         V::ofMemo("Partial payment"), V::ofInteger(200)},
        {V::ofText("it's [x] AND y == z"), V::ofText("cd"), V::ofInteger(3), V::ofScaled(0), V::ofDouble(0), V::null(),
         V::null(), V::null(), V::null(), V::null(), V::ofInteger(300)},
        {V::ofText("say \"hi\" (x > 1)"), V::ofText("Cd"), V::ofInteger(4), V::ofScaled(1000000), V::ofDouble(100),
         V::ofDate(feb1), V::ofTimestamp(feb1, ms(23, 59, 59)), V::ofTime(ms(23, 59, 59)), V::ofLogical(true),
         V::ofMemo(""), V::ofInteger(400)},
        {V::null(), V::null(), V::ofInteger(5), V::null(), V::null(), V::null(), V::null(), V::null(), V::null(),
         V::null(), V::ofInteger(500)},
    };
}

struct Opened {
    LUMHANDLE conn = 0, table = 0;
    Opened() = default;
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    ~Opened() {
        if (table) LumCloseTable(table);
        if (conn) LumDisconnect(conn);
    }
};

void open(const TempDir& dir, const std::string& file, UNSIGNED16 type, Opened& o) {
    ASSERT_EQ(LumConnect60(dir.path().c_str(), 3, nullptr, nullptr, 0, &o.conn), 0u) << lastErrorText();
    o.table = openTable(o.conn, file, type);
}

std::set<UNSIGNED32> visible(LUMHANDLE table, LUMHANDLE order) {
    const auto v = recordNumbers(table, order);
    return {v.begin(), v.end()};
}

UNSIGNED32 count(LUMHANDLE handle, UNSIGNED16 mode) {
    UNSIGNED32 n = 0;
    EXPECT_EQ(LumGetRecordCount(handle, mode, &n), 0u) << lastErrorText();
    return n;
}

std::string convert(LUMHANDLE table, const std::string& text, bool toShort) {
    char buf[2048] = {};
    UNSIGNED16 len = sizeof buf;
    const UNSIGNED32 rc = toShort ? LumExpressionLongToShort(table, text.c_str(), buf, &len)
                                  : LumExpressionShortToLong(table, text.c_str(), buf, &len);
    EXPECT_EQ(rc, 0u) << text << ": " << lastErrorText();
    return buf;
}

class Expressions : public ::testing::Test {
protected:
    void SetUp() override {
        auto t = lce::TableFile::create(dir_.path("MIXED.LDT"), mixedSchema());
        for (const lce::Row& row : mixedRows()) t.append(row);
    }
    TempDir dir_;
};

struct FormCase {
    const char* expression;
    std::set<UNSIGNED32> records;  // those that meet it
    bool exact = true;
};

TEST_F(Expressions, EachFormSelectsItsRecordsInEveryNotation) {
    const FormCase cases[] = {
        {"N = 2", {2}},
        {"[N] == 2", {2}},
        {"N > 2", {3, 4, 5}},
        {"N >= 2 AND N <= 3", {2, 3}},
        {"N < 2 OR N > 4", {1, 5}},
        {"(N = 1 OR N = 2) AND Paid", {1}},
        {"N = 1 OR N = 2 AND Paid", {1}},
        {"NOT N = 1", {2, 3, 4, 5}},
        {".NOT. (N = 1 .OR. N = 2)", {3, 4, 5}},
        {"!(N # 3)", {3}},
        {"N <> 3 and N != 4", {1, 2, 5}},
        {"N=1.OR.N=2.AND..NOT.Paid", {1, 2}},
        {"N = -1", {}},
        {"[Entry No] = 300", {3}},
        {"Amount = 12.5", {1}},
        {"Amount < 0", {2}},
        {"Price > 2.1", {2, 4}},
        {"Name = 'Smith'", {1}},
        {"Name = 'Smith   '", {1}},
        {"Name == \"Smith\"", {1}},
        {"Name <> 'Smith'", {2, 3, 4, 5}},
        {"Name = 'Smith'", {1, 2}, false},
        {"Name == 'Smith'", {1}, false},
        {"Name # 'Smith'", {3, 4, 5}, false},
        {"Name = ''", {1, 2, 3, 4}, false},
        {"Name > 'Smith'", {2, 3, 4}},
        {"UPPER(Name) = UPPER('smith')", {1}},
        {"Name = \"it's [x] AND y == z\"", {3}},
        {"Name == 'say \"hi\" (x > 1)'", {4}},
        {"Name = 'N = 1 OR .T.'", {}},
        {"Code = 'AB'", {1, 2}},
        {"Code == 'cD'", {3, 4}},
        {"Day = ctod('01/31/2020')", {1}},
        {"Day > ctod('2020-12-31')", {2}},
        {"Day < ctod('20200201')", {1}},
        {"Day = ctod('31.01.2020') OR Day = ctod('2021/06/15')", {1, 2}},
        {"Day = ctod('  /  /    ')", {}},
        {"Day = ctod('1/31/20') OR Day = ctod('15/06/2021') OR Day = ctod('1.2.2020')", {1, 2, 4}},
        {"empty(Day) OR Day >= ctod('02-01-2020')", {2, 3, 4, 5}},
        {"Price = 1E2 OR Price < 2.5e-1", {3, 4}},
        {"Day = ctots('01/31/2020')", {1}},
        {"Stamp >= ctots('06/15/2021 00:00:00')", {2}},
        {"Stamp < ctots('01/31/2020 10:30:01') AND Stamp > ctod('01/30/2020')", {1}},
        {"At = ctot('10:30:00')", {1}},
        {"At < ctot('9:00 AM') OR At >= CTOT('11:59:59 PM')", {2, 4}},
        {"Paid", {1, 4}},
        {"Paid = .TRUE.", {1, 4}},
        {"Paid == .F.", {2}},
        {"NOT Paid", {2, 3, 5}},
        {"(empty(Notes))", {3, 4, 5}},
        {"empty(Day) AND EMPTY(Name)", {5}},
        {"empty(Amount)", {3, 5}},
        {"CONTAINS(Notes, 'PAID')", {1}},
        {"CONTAINS(Notes, 'pay*')", {2}},
        {"CONTAINS(Notes, 'full paid')", {1}},
        {"UPPER(Name) = 'SMITH' AND Day = ctod('01/31/2020') AND Paid = .TRUE. AND NOT (empty(Notes))", {1}},
        {"UPPER(Name) = UPPER('SMITH') AND (empty(Notes))", {}},
    };
    Opened o;
    open(dir_, "MIXED.LDT", LUM_LDT, o);
    for (const FormCase& c : cases) {
        SCOPED_TRACE(std::string(c.expression) + (c.exact ? "" : " (exact off)"));
        ASSERT_EQ(LumSetExact22(o.table, c.exact ? 1 : 0), 0u) << lastErrorText();
        const std::string shortForm = convert(o.table, c.expression, true);
        const std::string longForm = convert(o.table, shortForm, false);
        EXPECT_EQ(convert(o.table, longForm, true), shortForm);
        for (const std::string& text : {std::string(c.expression), shortForm, longForm}) {
            ASSERT_EQ(LumSetFilter(o.table, text.c_str()), 0u) << text << ": " << lastErrorText();
            EXPECT_EQ(visible(o.table, o.table), c.records) << text;
            EXPECT_EQ(count(o.table, 1), c.records.size()) << text;
            ASSERT_EQ(LumClearFilter(o.table), 0u);
        }
        // Each record answers the same when asked on its own.
        std::set<UNSIGNED32> meeting;
        for (UNSIGNED32 r = 1; r <= 5; ++r) {
            ASSERT_EQ(LumGotoRecord(o.table, r), 0u);
            UNSIGNED16 yes = 9;
            ASSERT_EQ(LumEvalLogicalExpr(o.table, c.expression, &yes), 0u) << lastErrorText();
            if (yes) meeting.insert(r);
        }
        EXPECT_EQ(meeting, c.records);
    }
}

TEST_F(Expressions, BadExpressionsAreRefusedWithTheEnginesOwnWords) {
    const struct {
        std::string expression;
        UNSIGNED32 code;
        const char* says;  // part of the text
    } cases[] = {
        {"", LUM_ERR_EXPRESSION, "empty"},
        {"N = ", LUM_ERR_EXPRESSION, "expected a field"},
        {"N = 1 AND", LUM_ERR_EXPRESSION, "expected a field"},
        {"Name = 'abc", LUM_ERR_EXPRESSION, "not closed"},
        {"[N = 1", LUM_ERR_EXPRESSION, "not closed"},
        {"N @ 1", LUM_ERR_EXPRESSION, "unexpected character '@' at position 3"},
        {"(N = 1", LUM_ERR_EXPRESSION, "\")\""},
        {"N = 1)", LUM_ERR_EXPRESSION, "unexpected"},
        {"N = 1 = 2", LUM_ERR_EXPRESSION, "chained"},
        {"N = 'a'", LUM_ERR_EXPRESSION, "a number cannot be compared with a text"},
        {"Name = 1", LUM_ERR_EXPRESSION, "cannot be compared"},
        {"Paid = 1", LUM_ERR_EXPRESSION, "cannot be compared"},
        {"N", LUM_ERR_EXPRESSION, "where a condition is expected"},
        {"Day = ctod('31/31/2020')", LUM_ERR_EXPRESSION, "not a date"},
        {"Day = ctod('2/30/2020')", LUM_ERR_EXPRESSION, "not a date"},
        {"Stamp = ctots('01/31/2020 10:61')", LUM_ERR_EXPRESSION, "not a timestamp"},
        {"At = ctot('25:00')", LUM_ERR_EXPRESSION, "not a time"},
        {"Day = ctod(Name)", LUM_ERR_EXPRESSION, "quoted value"},
        {"FOO(N) = 1", LUM_ERR_EXPRESSION, "unknown function FOO"},
        {".MAYBE. = N", LUM_ERR_EXPRESSION, "unknown word"},
        {"UPPER(N) = 'A'", LUM_ERR_EXPRESSION, "text argument"},
        {"CONTAINS(Notes, '  ')", LUM_ERR_EXPRESSION, "at least one word"},
        {"Nope = 1", LUM_ERR_FIELD_NOT_FOUND, "no field Nope"},
        {"[Entry] = 1", LUM_ERR_FIELD_NOT_FOUND, "no field Entry"},
        // Limits: nesting, size and length.
        {std::string(65, '(') + "N = 1" + std::string(65, ')'), LUM_ERR_EXPRESSION, "nested more than 64"},
        {[] {
             std::string s;
             for (int i = 0; i < 100; ++i) s += "NOT ";
             return s + "Paid";
         }(),
         LUM_ERR_EXPRESSION, "nested"},
        {[] {
             std::string s = "N = 1";
             for (int i = 0; i < 250; ++i) s += " OR N = 1";
             return s;
         }(),
         LUM_ERR_EXPRESSION, "more than 600 terms"},
        {std::string(16001, ' ') + "Paid", LUM_ERR_EXPRESSION, "longer than 16000"},
    };
    Opened o;
    open(dir_, "MIXED.LDT", LUM_LDT, o);
    ASSERT_EQ(LumGotoTop(o.table), 0u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expression.substr(0, 80));
        for (int op = 0; op < 3; ++op) {
            UNSIGNED32 rc = 0;
            UNSIGNED16 yes = 0;
            if (op == 0) rc = LumSetFilter(o.table, c.expression.c_str());
            if (op == 1) rc = LumEvalLogicalExpr(o.table, c.expression.c_str(), &yes);
            if (op == 2) rc = LumSetLOF(o.table, c.expression.c_str(), 2);
            EXPECT_EQ(rc, c.code) << lastErrorText();
            EXPECT_EQ(lastErrorCode(), c.code);
            const std::string text = lastErrorText();
            EXPECT_NE(text.find(c.says), std::string::npos) << text;
            EXPECT_EQ(text.find("SQL"), std::string::npos) << text;
            EXPECT_EQ(text.find("sqlite"), std::string::npos) << text;
        }
    }
    // Nothing was set by the failures: every record shows, and there is no filter to clear.
    EXPECT_EQ(visible(o.table, o.table).size(), 5u);
    EXPECT_EQ(LumClearFilter(o.table), LUM_ERR_NO_FILTER);
    EXPECT_EQ(LumClearLOF(o.table), LUM_ERR_NO_FILTER);
    // The deepest nesting allowed still works.
    const std::string deep = std::string(63, '(') + "N = 1" + std::string(63, ')');
    EXPECT_EQ(LumSetFilter(o.table, deep.c_str()), 0u) << lastErrorText();
}

TEST_F(Expressions, PlainAndOptimisedFiltersCombineAndFollowExactMatching) {
    Opened o;
    open(dir_, "MIXED.LDT", LUM_LDT, o);
    LUMHANDLE byN = 0;
    ASSERT_EQ(LumGetIndexHandle(o.table, "ByN", &byN), 0u);
    ASSERT_EQ(LumSetLOF(o.table, "N >= 2", 4 + 1), 0u) << lastErrorText();
    ASSERT_EQ(LumSetFilter(o.table, "Name = 'Smith'"), 0u) << lastErrorText();
    EXPECT_EQ(visible(o.table, byN), std::set<UNSIGNED32>{});
    // Switching exact matching off makes "=" a prefix match for the filter already set.
    ASSERT_EQ(LumSetExact22(byN, 0), 0u);
    EXPECT_EQ(visible(o.table, byN), std::set<UNSIGNED32>{2});
    EXPECT_EQ(count(byN, 1), 1u);
    EXPECT_EQ(count(byN, 2), 5u);
    EXPECT_EQ(count(byN, 3), 5u);
    // A record the filters refuse is not visible when gone to directly.
    ASSERT_EQ(LumGotoRecord(o.table, 1), 0u);
    UNSIGNED16 flag = 1;
    ASSERT_EQ(LumIsRecordVisible(o.table, &flag), 0u);
    EXPECT_EQ(flag, 0u);
    // Key numbers that respect filters count only the records the filters let through.
    ASSERT_EQ(LumGotoRecord(o.table, 2), 0u);
    UNSIGNED32 key = 0;
    ASSERT_EQ(LumGetKeyNum(byN, 1, &key), 0u) << lastErrorText();
    EXPECT_EQ(key, 1u);
    ASSERT_EQ(LumGetKeyNum(byN, 2, &key), 0u);
    EXPECT_EQ(key, 2u);
    ASSERT_EQ(LumClearFilter(o.table), 0u);
    ASSERT_EQ(LumGotoRecord(o.table, 4), 0u);
    ASSERT_EQ(LumGetKeyNum(o.table, 1, &key), 0u);
    EXPECT_EQ(key, 3u);
    EXPECT_EQ(visible(o.table, o.table), (std::set<UNSIGNED32>{2, 3, 4, 5}));
    EXPECT_EQ(LumClearFilter(o.table), LUM_ERR_NO_FILTER);
    ASSERT_EQ(LumClearLOF(o.table), 0u);
    EXPECT_EQ(visible(o.table, byN).size(), 5u);
    EXPECT_EQ(count(o.table, 1), 5u);
    EXPECT_EQ(LumSetLOF(o.table, "N = 1", 16), LUM_ERR_INVALID_ARGUMENT);
}

TEST_F(Expressions, FilteredCountsRespectScopes) {
    Opened o;
    open(dir_, "MIXED.LDT", LUM_LDT, o);
    LUMHANDLE byN = 0;
    ASSERT_EQ(LumGetIndexHandle(o.table, "ByN", &byN), 0u);
    const char* low = "2";
    const char* high = "4";
    ASSERT_EQ(LumSetScope(byN, LUM_TOP, reinterpret_cast<const UNSIGNED8*>(low), 1, LUM_STRINGKEY), 0u)
        << lastErrorText();
    ASSERT_EQ(LumSetScope(byN, LUM_BOTTOM, reinterpret_cast<const UNSIGNED8*>(high), 1, LUM_STRINGKEY), 0u)
        << lastErrorText();
    ASSERT_EQ(LumSetFilter(o.table, "Paid"), 0u);
    EXPECT_EQ(visible(o.table, byN), std::set<UNSIGNED32>{4});
    EXPECT_EQ(count(byN, 1), 1u);
    EXPECT_EQ(count(byN, 3), 3u);
    EXPECT_EQ(count(o.table, 1), 2u);
}

TEST_F(Expressions, EvaluationNeedsARecordAndFormsNeedRoom) {
    Opened o;
    open(dir_, "MIXED.LDT", LUM_LDT, o);
    UNSIGNED16 yes = 0;
    ASSERT_EQ(LumGotoBOF(o.table), 0u);
    EXPECT_EQ(LumEvalLogicalExpr(o.table, "Paid", &yes), LUM_ERR_NO_CURRENT_RECORD);
    char small[8];
    UNSIGNED16 len = sizeof small;
    EXPECT_EQ(LumExpressionLongToShort(o.table, "Name = 'Smith' AND Paid", small, &len), LUM_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(len, std::string("Name='Smith' .AND. Paid").size());
    char buf[64];
    len = sizeof buf;
    EXPECT_EQ(LumExpressionShortToLong(o.table, "Nope=1", buf, &len), LUM_ERR_FIELD_NOT_FOUND);
    len = sizeof buf;
    ASSERT_EQ(LumExpressionShortToLong(o.table, "n=1 .and. .not. paid .or. [Entry No]#.5", buf, &len), 0u);
    EXPECT_STREQ(buf, "n = 1 AND NOT paid OR [Entry No] # .5");
}

// A filter asks the records as they are now: an SQL result's rows by their
// own column names, and a table's records as its own writes left them.
TEST_F(Expressions, AFilterWorksOnAnSqlResultAndFollowsTheTablesWrites) {
    Opened o;
    open(dir_, "MIXED.LDT", LUM_LDT, o);
    LUMHANDLE stmt = 0, cursor = 0;
    ASSERT_EQ(LumCreateSQLStatement(o.conn, &stmt), 0u);
    ASSERT_EQ(LumExecuteSQLDirect(stmt, "SELECT N, Name AS Who FROM MIXED WHERE N < 5", &cursor), 0u)
        << lastErrorText();
    ASSERT_EQ(LumSetFilter(cursor, "Who = 'Smith' OR N = 4"), 0u) << lastErrorText();
    EXPECT_EQ(count(cursor, 1), 2u);
    EXPECT_EQ(recordNumbers(cursor, cursor).size(), 2u);
    EXPECT_EQ(LumSetFilter(cursor, "Name = 'Smith'"), LUM_ERR_FIELD_NOT_FOUND);
    EXPECT_EQ(LumCloseTable(cursor), 0u);
    EXPECT_EQ(LumCloseSQLStatement(stmt), 0u);

    ASSERT_EQ(LumSetFilter(o.table, "Paid"), 0u);
    EXPECT_EQ(visible(o.table, o.table), (std::set<UNSIGNED32>{1, 4}));
    ASSERT_EQ(LumGotoRecord(o.table, 2), 0u);
    ASSERT_EQ(LumSetLogical(o.table, "Paid", 1), 0u) << lastErrorText();
    ASSERT_EQ(LumWriteRecord(o.table), 0u) << lastErrorText();
    ASSERT_EQ(LumGotoRecord(o.table, 1), 0u);
    ASSERT_EQ(LumSetLogical(o.table, "Paid", 0), 0u) << lastErrorText();
    ASSERT_EQ(LumWriteRecord(o.table), 0u) << lastErrorText();
    EXPECT_EQ(visible(o.table, o.table), (std::set<UNSIGNED32>{2, 4}));
    EXPECT_EQ(count(o.table, 1), 2u);
}

// The same filter on a table of each type, in natural and index order.
TEST(ExpressionTableTypes, AFilterWorksOnEveryTableType) {
    const struct {
        const char* file;
        std::uint16_t type;
    } types[] = {{"T.LDT", lce::kLdt}, {"T.DBF", lce::kNtx}, {"C.DBF", lce::kCdx}, {"V.DBF", lce::kVfp}};
    for (const auto& t : types) {
        SCOPED_TRACE(t.file);
        TempDir dir;
        {
            lce::TableSchema schema = numberedSchema();
            schema.tableType = t.type;
            schema.columns.push_back(col("Day", lce::kDate));
            auto file = lce::TableFile::create(dir.path(t.file), schema);
            const char* names[] = {"Bob", "Alice", "Bobby", "Carol"};
            for (int i = 0; i < 4; ++i)
                file.append({Value::ofInteger(4 - i), Value::ofText(names[i]), Value::ofDate(julian(2020, 1, 1 + i))});
        }
        Opened o;
        open(dir, t.file, t.type, o);
        LUMHANDLE byN = 0;
        ASSERT_EQ(LumGetIndexHandle(o.table, "ByN", &byN), 0u);
        ASSERT_EQ(LumSetFilter(o.table, "Name = 'Bob' AND Day >= ctod('01/01/2020')"), 0u) << lastErrorText();
        EXPECT_EQ(recordNumbers(o.table, o.table), (std::vector<UNSIGNED32>{1}));
        ASSERT_EQ(LumSetExact22(o.table, 0), 0u);
        EXPECT_EQ(recordNumbers(o.table, o.table), (std::vector<UNSIGNED32>{1, 3}));
        EXPECT_EQ(recordNumbers(o.table, byN), (std::vector<UNSIGNED32>{3, 1}));
        EXPECT_EQ(count(o.table, 1), 2u);
        ASSERT_EQ(LumClearFilter(o.table), 0u);
        ASSERT_EQ(LumSetLOF(o.table, "N > 2", 2), 0u) << lastErrorText();
        EXPECT_EQ(recordNumbers(o.table, byN), (std::vector<UNSIGNED32>{2, 1}));
    }
}

}  // namespace
